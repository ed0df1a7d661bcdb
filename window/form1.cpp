#include "window/form1.h"

#include "core/analysis/course.h"
#include "core/output/resultsfile.h"
#include "core/reader/numtext.h"
#include "core/state/settings.h"
#include "window/messages.h"
#include "window/picturebox.h"
#include "window/qtdesign.h"
#include "window/textbox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <optional>
#include <utility>

#include <unistd.h>

namespace kov {

namespace {

enum class Switch { Keep, On, Off };

/// Which buttons an event of the analysis enables and disables. "Browse" and
/// "Exit" are always enabled.
struct ButtonRule {
    ButtonEvent event;
    Switch drawButtons; ///< Command3(0) "Draw" and Command3(1) "Clear scale"
    Switch nextCycle;   ///< Command6
    Switch writeFile;   ///< Command8
    Switch stepButtons; ///< Command1(0..6)
};

constexpr ButtonRule ButtonRules[] = {
    // event                          Draw/Clear    Next cycle    Write         step buttons
    {ButtonEvent::Start,             Switch::Off,  Switch::Off,  Switch::Off,  Switch::Off},
    {ButtonEvent::BrowseClosed,      Switch::On,   Switch::Off,  Switch::Off,  Switch::Off},
    // The step buttons wait for "Next cycle": there is no cycle 0 to analyse.
    {ButtonEvent::DrawStarts,        Switch::Keep, Switch::Keep, Switch::Off,  Switch::Off},
    {ButtonEvent::DrawDone,          Switch::Keep, Switch::On,   Switch::Off,  Switch::Keep},
    {ButtonEvent::NextCycleStarts,   Switch::Keep, Switch::Keep, Switch::Keep, Switch::On},
    {ButtonEvent::NextCycleAtEnd,    Switch::Keep, Switch::Off,  Switch::On,   Switch::Keep},
    {ButtonEvent::CycleLimitReached, Switch::Keep, Switch::Off,  Switch::On,   Switch::Keep},
    {ButtonEvent::WriteToFile,       Switch::Keep, Switch::Keep, Switch::Off,  Switch::Off},
    // Nothing was written: the analysis is kept, and with it the buttons
    // that were enabled when "Write to file" was pressed.
    {ButtonEvent::WriteFailed,       Switch::Keep, Switch::Keep, Switch::On,   Switch::On},
};

/// What the command entry does for each command: typed steps, and the
/// button event the command starts with.
struct CommandRule {
    Command command;
    TypedSteps typed;
    std::optional<ButtonEvent> starts;
};

constexpr CommandRule CommandRules[] = {
    {Command::Browse,      TypedSteps::Drop,    std::nullopt},
    {Command::Draw,        TypedSteps::Drop,    ButtonEvent::DrawStarts},
    // The cycle is frozen from here on; a refused typed step stops the command.
    {Command::NextCycle,   TypedSteps::Analyse, std::nullopt},
    {Command::StepButton,  TypedSteps::Keep,    std::nullopt},
    {Command::PeakField,   TypedSteps::Keep,    std::nullopt},
    {Command::WriteToFile, TypedSteps::Analyse, ButtonEvent::WriteToFile},
};

void apply(QWidget *w, Switch s)
{
    if (s != Switch::Keep)
        w->setEnabled(s == Switch::On);
}

/// Enter or Return on a focused button presses it, as Space does. (A push
/// button reacts to Enter only as a dialog's default button, and the main
/// window has none.) A held key presses it once.
class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if (!key->isAutoRepeat())
            static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

} // namespace

std::function<void()> &Form1::exitHook()
{
    static std::function<void()> hook;
    return hook;
}

QString integerField(long long value)
{
    return QString::fromStdString(integerText(value));
}

QString numberField(float value)
{
    return QString::fromStdString(shortNumberText(value));
}

Form1::Form1(SharedState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    createControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(design::qString(design::MainTitle));
    setWindowIcon(design::kovIcon());
    setFixedSize(design::pixels(design::MainWidth), design::pixels(design::MainHeight));
    setFont(design::qFont(design::font::Ui));

    design::createControls(this, design::Form1Controls, [this](const design::Control &c) -> QWidget * {
        switch (c.kind) {
        case design::Kind::Picture: {
            // Disabled, so it takes no focus or input; drawing is unaffected.
            auto *picture = new PictureBox(design::pixelRect(c.at).size(), this);
            picture->setEnabled(false);
            return picture;
        }
        case design::Kind::TextBox:
        case design::Kind::Display: {
            auto *box = new TextBox(this);
            // The design texts of the boxes are their own names until start-up runs.
            box->setText(design::qString(c.name));
            if (c.kind == design::Kind::Display) {
                // A display shows text but takes no input or focus.
                box->setReadOnly(true);
                box->setEnabled(false);
                box->setFocusPolicy(Qt::NoFocus);
            }
            design::applyTextBoxColours(box, c);
            return box;
        }
        default: return nullptr;
        }
    });

    design::bindControls(this, KOV_CONTROLS(Command2, Command4, Command3, Command6, Command1, Command8, Picture1,
                                            Text4, Text13, Combo1, Text5, Text14, Combo2, Text10, Text12, Text9,
                                            Text15, Text1, Text7, Text8, Text2, Text11));
    // The main window has no default button: Enter in a box presses nothing;
    // on a button it presses that button.
    auto *enter = new EnterPressesButton(this);
    for (QPushButton *b : findChildren<QPushButton *>(Qt::FindDirectChildrenOnly)) {
        b->setAutoDefault(false);
        b->installEventFilter(enter);
    }

    // A path or a preview line too long for its box shows whole in a tooltip.
    for (QLineEdit *box : {Text2[0], Text11[0], Text11[1], Text11[2], Text11[3], Text11[4], Text11[5]})
        static_cast<TextBox *>(box)->setWholeTextTip(true);

    design::setTabOrder(this, design::Form1TabOrder);
    applyButtonEvent(ButtonEvent::Start);
}

void Form1::connectHandlers()
{
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    const std::pair<QLineEdit *, void (Form1::*)()> changeHandlers[] = {
        {Text4, &Form1::Text4_Change},   {Text5, &Form1::Text5_Change},   {Text10, &Form1::Text10_Change},
        {Text13, &Form1::Text13_Change}, {Text14, &Form1::Text14_Change}, {Text9, &Form1::Text9_Change}};
    for (const auto &[box, handler] : changeHandlers)
        connect(box, &QLineEdit::textChanged, this, handler);
    for (int i = 0; i < 2; ++i)
        connect(Text12[static_cast<std::size_t>(i)], &QLineEdit::textChanged, this, [this, i] { Text12_Change(i); });
}

void Form1::Form_Load()
{
    design::centreOnScreen(this);

    // The start values, in this order; each write runs the field's change
    // handler, which stores the value.
    const Settings start;
    const QString cycleStart = integerField(CourseStartStep);
    const QString zero = integerField(0);
    Text4->setText(integerField(start.xColumn));
    Text5->setText(integerField(start.yColumn));
    Text10->setText(integerField(start.skipLines));
    Text1->setText(zero);
    Text7->setText(zero);
    Text8->setText(zero);
    Text9->setText(cycleStart);
    Text15[0]->setText(cycleStart);
    Text15[1]->setText(cycleStart);
    for (QLineEdit *line : Text11)
        line->setText(QString());
    Text2[0]->setText(QString());
    Text12[0]->setText(QString());
    Text12[1]->setText(QString());
    Text13->setText(numberField(start.xCoef));
    Text14->setText(numberField(start.yCoef));
    m_state.ScaleXMax = 0.0f;
    m_state.ScaleYMax = 0.0f;
    Combo1->setEditText(QString::fromStdString(start.xUnit));
    Combo2->setEditText(QString::fromStdString(start.yUnit));
}

void Form1::applyButtonEvent(ButtonEvent event)
{
    for (const ButtonRule &rule : ButtonRules) {
        if (rule.event != event)
            continue;
        for (QPushButton *b : Command1)
            apply(b, rule.stepButtons);
        apply(Command8, rule.writeFile);
        apply(Command6, rule.nextCycle);
        for (QPushButton *b : Command3)
            apply(b, rule.drawButtons);
    }
    Command2->setEnabled(true);
    Command4->setEnabled(true);
}

bool Form1::beginCommand(Command command)
{
    for (const CommandRule &rule : CommandRules) {
        if (rule.command != command)
            continue;
        if (!m_cycleView.settleRunningAnalysis(rule.typed))
            return false;
        if (rule.starts)
            applyButtonEvent(*rule.starts);
    }
    emit commandBegun(command);
    return true;
}

void Form1::showEnergy(float energy)
{
    setFieldText(Field::Energy, numberField(energy));
}

void Form1::showDamping(float damping)
{
    setFieldText(Field::Damping, numberField(damping));
}

void Form1::showRange()
{
    Text12[0]->setText(numberField(m_state.ScaleXMax));
    Text12[1]->setText(numberField(m_state.ScaleYMax));
}

void Form1::Command4_Click()
{
    // No handler keeps a file open between events, so nothing is left to close.
    std::fflush(nullptr);
    if (exitHook()) {
        exitHook()();
        return;
    }
    ::_exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::quit();
}

void Form1::Command8_Click()
{
    runGuarded(this, [this] {
        // A typed step is analysed first, so that a row holds the steps and
        // the results of one analysis; one that is refused writes nothing.
        if (!beginCommand(Command::WriteToFile))
            return;
        m_state.XUnit = Combo1->currentText().toStdString();
        m_state.YUnit = Combo2->currentText().toStdString();
        try {
            WriteResultsFile(m_state);
        } catch (const Failure &f) {
            // The writer's text names the results file; a results name the
            // system refuses (52, too long) is named together with the data
            // file it comes from.
            QString text = QString::fromStdString(f.what());
            if (f.number() == err::BadFileName && f.kind() == Failure::Kind::FileWrite)
                text = QStringLiteral("No results file can be written for the data file \"%1\": %2")
                           .arg(QString::fromStdString(m_state.DataFileName), text);
            // The user can mend the cause and write the same analysis again.
            applyButtonEvent(ButtonEvent::WriteFailed);
            reportFailure(this, text, f.number());
        }
    });
}

// Typed input is never refused: text that is not a number reads as 0, and a
// value that does not fit its variable is clamped to the variable's range.

void Form1::Text4_Change()
{
    const std::int16_t v = int16OfText(Text4->text().toStdString());
    m_state.XColumn = v < 1 ? std::int16_t{1} : v;
}

void Form1::Text5_Change()
{
    const std::int16_t v = int16OfText(Text5->text().toStdString());
    m_state.YColumn = v < 1 ? std::int16_t{1} : v;
}

void Form1::Text10_Change()
{
    m_state.SkipLines = int16OfText(Text10->text().toStdString());
    m_state.DataLoaded = 0;
    if (m_state.SkipLines < 0)
        m_state.SkipLines = 0;
}

void Form1::Text13_Change()
{
    m_state.XCoef = floatOfText(Text13->text().toStdString());
}

void Form1::Text14_Change()
{
    m_state.YCoef = floatOfText(Text14->text().toStdString());
}

void Form1::Text12_Change(int index)
{
    // The minimum is -1.1 times the maximum, so the axis reaches a little
    // beyond the opposite extreme.
    const float v = floatOfText(Text12[static_cast<std::size_t>(index)]->text().toStdString());
    const float minimum = clampToFloat(static_cast<double>(v) * -1.1);
    if (index == 0) {
        m_state.ScaleXMax = v;
        m_state.ScaleXMin = minimum;
    } else {
        m_state.ScaleYMax = v;
        m_state.ScaleYMin = minimum;
    }
}

void Form1::Text9_Change()
{
    runGuarded(this, [this] {
        m_state.CycleEndStep(m_state.CycleNo) = int16OfText(Text9->text().toStdString());
    });
}


QLineEdit *Form1::lineEdit(Field field, std::size_t index) const
{
    switch (field) {
    case Field::XColumn: return Text4;
    case Field::XCoef: return Text13;
    case Field::YColumn: return Text5;
    case Field::YCoef: return Text14;
    case Field::CycleEnd: return Text9;
    case Field::PeakStep: return Text15.at(index);
    case Field::CycleNo: return Text1;
    case Field::Energy: return Text7;
    case Field::Damping: return Text8;
    case Field::DataFile: return Text2.at(index);
    case Field::Preview: return Text11.at(index);
    case Field::XUnit:
    case Field::YUnit: break;
    }
    return nullptr;
}

QString Form1::fieldText(Field field, std::size_t index) const
{
    if (field == Field::XUnit)
        return Combo1->currentText();
    if (field == Field::YUnit)
        return Combo2->currentText();
    return lineEdit(field, index)->text();
}

void Form1::setFieldText(Field field, const QString &text, std::size_t index)
{
    if (field == Field::XUnit)
        Combo1->setEditText(text);
    else if (field == Field::YUnit)
        Combo2->setEditText(text);
    else
        lineEdit(field, index)->setText(text);
}

PlotCanvas &Form1::plotCanvas()
{
    return Picture1->canvas();
}

void Form1::onClicked(Button button, std::size_t index, std::function<void()> handler)
{
    QPushButton *b = nullptr;
    switch (button) {
    case Button::Browse: b = Command2; break;
    case Button::Draw: b = Command3.at(index); break;
    case Button::NextCycle: b = Command6; break;
    case Button::Step: b = Command1.at(index); break;
    }
    connect(b, &QPushButton::clicked, this, std::move(handler));
}

void Form1::onField(Field field, std::size_t index, FieldSignal signal, std::function<void()> handler,
                    Qt::ConnectionType type)
{
    QLineEdit *box = lineEdit(field, index);
    switch (signal) {
    case FieldSignal::Changed: connect(box, &QLineEdit::textChanged, this, std::move(handler), type); break;
    case FieldSignal::Edited: connect(box, &QLineEdit::textEdited, this, std::move(handler), type); break;
    case FieldSignal::Finished: connect(box, &QLineEdit::editingFinished, this, std::move(handler), type); break;
    }
}

} // namespace kov
