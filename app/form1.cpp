#include "app/form1.h"

#include "app/messages.h"
#include "app/textbox.h"
#include "output/resultsfile.h"
#include "plot/picturebox.h"
#include "reader/numtext.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace kov {

namespace {

/// Positions and sizes are kept in twips, as the window was designed; this is
/// the one place where they become pixels.
constexpr int TwipsPerPixel = 15;

struct Twips {
    int left, top, width, height;
};

QRect toPixels(const Twips &t)
{
    return QRect(t.left / TwipsPerPixel, t.top / TwipsPerPixel, t.width / TwipsPerPixel,
                 t.height / TwipsPerPixel);
}

// Colours of the window's design.
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor DarkGreen(0, 128, 0);
const QColor Yellow(255, 255, 0);
const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);

QString css(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

QFont uiFont(double points = 9.75, bool bold = false)
{
    QFont f(QStringLiteral("MS PGothic"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

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
};

void apply(QWidget *w, Switch s)
{
    if (s != Switch::Keep)
        w->setEnabled(s == Switch::On);
}

} // namespace

void installFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
}

QIcon kovIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::white);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size;
        p.setPen(QPen(Blue, std::max(1.0, s / 32)));
        p.drawLine(QPointF(s * 0.08, s / 2), QPointF(s * 0.92, s / 2));
        p.drawLine(QPointF(s / 2, s * 0.08), QPointF(s / 2, s * 0.92));
        // A hysteresis loop: loading along the upper branch, unloading along the lower.
        QPainterPath loop;
        loop.moveTo(s * 0.15, s * 0.78);
        loop.cubicTo(s * 0.30, s * 0.30, s * 0.55, s * 0.18, s * 0.85, s * 0.22);
        loop.cubicTo(s * 0.70, s * 0.70, s * 0.45, s * 0.82, s * 0.15, s * 0.78);
        p.setPen(QPen(QColor(0, 160, 0), std::max(1.5, s / 16)));
        p.drawPath(loop);
        p.setPen(Qt::NoPen);
        p.setBrush(Red);
        p.drawEllipse(QPointF(s * 0.85, s * 0.22), s / 12, s / 12);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

std::function<void()> &Form1::exitHook()
{
    static std::function<void()> hook;
    return hook;
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
    setWindowTitle(QStringLiteral("kov"));
    setWindowIcon(kovIcon());
    setFixedSize(clientWidth, clientHeight);
    setFont(uiFont());

    auto place = [](QWidget *w, const QString &name, const Twips &t) {
        w->setObjectName(name);
        w->setGeometry(toPixels(t));
    };
    auto button = [&](const QString &name, const QString &caption, const Twips &t, bool bold,
                      double points = 9.75) {
        auto *b = new QPushButton(caption, this);
        place(b, name, t);
        b->setFont(uiFont(points, bold));
        b->setStyleSheet(QStringLiteral("QPushButton { background-color: white; border: 1px solid "
                                        "#808080; } QPushButton:disabled { color: #a0a0a0; }"));
        b->setAutoDefault(false);
        return b;
    };
    auto label = [&](const QString &name, const QString &caption, const Twips &t,
                     const QColor &background, bool bold, Qt::Alignment align) {
        auto *l = new QLabel(caption, this);
        place(l, name, t);
        l->setFont(uiFont(9.75, bold));
        l->setAlignment(align | Qt::AlignTop);
        l->setAutoFillBackground(true);
        l->setStyleSheet(
            QStringLiteral("QLabel { color: white; background-color: %1; }").arg(css(background)));
        return l;
    };
    auto centred = [&](const QString &name, const QString &caption, const Twips &t,
                       const QColor &background) {
        return label(name, caption, t, background, true, Qt::AlignHCenter);
    };
    auto textBox = [&](const QString &name, const Twips &t, const QColor &colour, bool bold) {
        auto *e = new TextBox(this);
        place(e, name, t);
        e->setFont(uiFont(9.75, bold));
        if (colour.isValid())
            e->setStyleSheet(QStringLiteral("QLineEdit { color: %1; }").arg(css(colour)));
        return e;
    };
    // A display shows text but takes no input or focus; its colours hold while disabled.
    auto display = [&](const QString &name, const Twips &t, const QColor &text,
                       const QColor &background, const QFont &font) {
        auto *e = new TextBox(this);
        place(e, name, t);
        e->setFont(font);
        e->setReadOnly(true);
        e->setEnabled(false);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet(QStringLiteral("QLineEdit, QLineEdit:disabled { color: %1; "
                                        "background-color: %2; }")
                             .arg(css(text), css(background)));
        return e;
    };

    // Panels first, so that the controls on them stay in front.
    Shape1 = new QFrame(this);
    place(Shape1, QStringLiteral("Shape1"), {240, 600, 2055, 2175});
    Shape1->setStyleSheet(QStringLiteral("QFrame { background-color: %1; border: 1px solid %1; }")
                              .arg(css(Silver)));
    Label14 = label(QStringLiteral("Label14"), QStringLiteral("Data file"), {240, 5160, 6255, 1815},
                    Grey, false, Qt::AlignLeft);

    Command2 = button(QStringLiteral("Command2"), QStringLiteral("Browse"), {240, 120, 975, 375}, false);
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("Exit"), {1320, 120, 975, 375}, false);

    Picture1 = new PictureBox(this);
    place(Picture1, QStringLiteral("Picture1"), {2400, 120, 4095, 3735});
    Picture1->setEnabled(false);

    Text12[1] = textBox(QStringLiteral("Text12(1)"), {3480, 120, 975, 285}, QColor(), false);
    Text12[0] = textBox(QStringLiteral("Text12(0)"), {5520, 2040, 975, 285}, QColor(), false);

    Label5 = centred(QStringLiteral("Label5"), QStringLiteral("X-axis"), {360, 720, 1815, 255}, Grey);
    Label9 = centred(QStringLiteral("Label9"), QStringLiteral("col"), {360, 960, 495, 255}, Grey);
    Label10 = centred(QStringLiteral("Label10"), QStringLiteral("coef"), {840, 960, 615, 255}, Grey);
    Label2 = centred(QStringLiteral("Label2"), QStringLiteral("unit"), {1440, 960, 735, 255}, Grey);
    Text4 = textBox(QStringLiteral("Text4"), {360, 1200, 495, 285}, QColor(), false);
    Text13 = textBox(QStringLiteral("Text13"), {840, 1200, 615, 285}, QColor(), false);
    Combo1 = new QComboBox(this);
    place(Combo1, QStringLiteral("Combo1"), {1440, 1200, 735, 315});
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The unit is kept as typed: no completion ("m" would become "mm") and no
    // folding to the case of a list entry ("KN" would become "kN").
    Combo1->setCompleter(nullptr);
    Combo1->addItems({QStringLiteral("mm"), QStringLiteral("cm"), QStringLiteral("m"),
                      QStringLiteral("%"), QString::fromUtf8("\u03bc")});

    Label6 = centred(QStringLiteral("Label6"), QStringLiteral("Y-axis"), {360, 1560, 1815, 255}, Grey);
    Label11 = centred(QStringLiteral("Label11"), QStringLiteral("col"), {360, 1800, 495, 255}, Grey);
    Label13 = centred(QStringLiteral("Label13"), QStringLiteral("coef"), {840, 1800, 615, 255}, Grey);
    Label3 = centred(QStringLiteral("Label3"), QStringLiteral("unit"), {1440, 1800, 735, 255}, Grey);
    Text5 = textBox(QStringLiteral("Text5"), {360, 2040, 495, 285}, QColor(), false);
    Text14 = textBox(QStringLiteral("Text14"), {840, 2040, 615, 285}, QColor(), false);
    Combo2 = new QComboBox(this);
    place(Combo2, QStringLiteral("Combo2"), {1440, 2040, 735, 315});
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);
    Combo2->setCompleter(nullptr);
    Combo2->addItems({QStringLiteral("tonf"), QStringLiteral("kgf"), QStringLiteral("kN"),
                      QStringLiteral("MPa"), QStringLiteral("GPa")});

    Label12 = centred(QStringLiteral("Label12"), QStringLiteral("Skip line"), {360, 2400, 975, 255}, Grey);
    Text10 = textBox(QStringLiteral("Text10"), {1320, 2400, 855, 285}, QColor(), false);

    Command3[0] = button(QStringLiteral("Command3(0)"), QStringLiteral("Draw"), {240, 2880, 975, 375}, false);
    Command3[1] = button(QStringLiteral("Command3(1)"), QStringLiteral("Clear scale"),
                         {1320, 2880, 975, 375}, false, 8.25);
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("Next cycle"), {240, 3360, 1335, 375}, true);
    Text1 = display(QStringLiteral("Text1"), {1680, 3360, 615, 375}, Qt::black, Yellow, uiFont(9.75, true));

    Label16 = centred(QStringLiteral("Label16"), QStringLiteral("Cycle end step"), {240, 3960, 2055, 255}, Red);
    Label17[0] = centred(QStringLiteral("Label17(0)"), QStringLiteral("Peak step 1"), {2400, 3960, 2055, 255}, Blue);
    Label7 = centred(QStringLiteral("Label7"), QStringLiteral("Energy"), {4560, 3960, 1935, 255}, Qt::black);
    Text9 = textBox(QStringLiteral("Text9"), {240, 4200, 1095, 285}, Red, true);
    Command1[0] = button(QStringLiteral("Command1(0)"), QStringLiteral("<"), {1320, 4200, 495, 255}, false);
    Command1[1] = button(QStringLiteral("Command1(1)"), QStringLiteral(">"), {1800, 4200, 495, 255}, false);
    Text15[0] = textBox(QStringLiteral("Text15(0)"), {2400, 4200, 1095, 285}, Blue, true);
    Command1[2] = button(QStringLiteral("Command1(2)"), QStringLiteral("<"), {3480, 4200, 495, 255}, false);
    Command1[3] = button(QStringLiteral("Command1(3)"), QStringLiteral(">"), {3960, 4200, 495, 255}, false);
    Text7 = display(QStringLiteral("Text7"), {4560, 4200, 1935, 285}, Qt::black, Qt::white, uiFont(9.75, true));
    Label17[1] = centred(QStringLiteral("Label17(1)"), QStringLiteral("Peak step 2"), {2400, 4560, 2055, 255},
                         DarkGreen);
    Label8 = centred(QStringLiteral("Label8"), QStringLiteral("kov"), {4560, 4560, 1935, 255}, Qt::black);
    Command8 = button(QStringLiteral("Command8"), QStringLiteral("Write to file"), {360, 4680, 1695, 375}, true);
    Text15[1] = textBox(QStringLiteral("Text15(1)"), {2400, 4800, 1095, 285}, DarkGreen, true);
    Command1[4] = button(QStringLiteral("Command1(4)"), QStringLiteral("<"), {3480, 4800, 255, 255}, false);
    Command1[5] = button(QStringLiteral("Command1(5)"), QStringLiteral(">"), {3720, 4800, 255, 255}, false);
    Command1[6] = button(QStringLiteral("Command1(6)"), QStringLiteral("NO"), {3960, 4800, 495, 255}, false);
    Text8 = display(QStringLiteral("Text8"), {4560, 4800, 1935, 285}, Qt::black, Qt::white, uiFont(9.75, true));

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("input file"), {1080, 5160, 855, 255}, Grey,
                   false, Qt::AlignRight);
    QFont italic = uiFont();
    italic.setItalic(true);
    Text2[0] = display(QStringLiteral("Text2(0)"), {2040, 5160, 4455, 225}, Qt::white, Grey, italic);
    QFont fixed(QStringLiteral("MS Gothic"));
    fixed.setPointSizeF(9.75);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    for (int i = 0; i < 6; ++i)
        Text11[static_cast<std::size_t>(i)] =
            display(QStringLiteral("Text11(%1)").arg(i), {360, 5400 + 240 * i, 6015, 255}, Qt::black,
                    Qt::white, fixed);

    // The design texts of the boxes are their own names until start-up runs.
    for (QLineEdit *e : findChildren<QLineEdit *>())
        if (e->parent() == this)
            e->setText(e->objectName());

    // Keyboard order of the controls that take focus.
    QWidget *order[] = {Command2, Command4, Text4, Text13, Combo1, Text5, Text14, Combo2,
                        Text10, Command3[0], Command3[1], Text12[1], Text12[0], Command6,
                        Command1[0], Command1[1], Command1[2], Command1[3], Command1[4],
                        Command1[5], Command1[6], Command8, Text9, Text15[0], Text15[1]};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    applyButtonEvent(ButtonEvent::Start);
}

void Form1::connectHandlers()
{
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Text4, &QLineEdit::textChanged, this, &Form1::Text4_Change);
    connect(Text5, &QLineEdit::textChanged, this, &Form1::Text5_Change);
    connect(Text10, &QLineEdit::textChanged, this, &Form1::Text10_Change);
    connect(Text13, &QLineEdit::textChanged, this, &Form1::Text13_Change);
    connect(Text14, &QLineEdit::textChanged, this, &Form1::Text14_Change);
    connect(Text12[0], &QLineEdit::textChanged, this, [this] { Text12_Change(0); });
    connect(Text12[1], &QLineEdit::textChanged, this, [this] { Text12_Change(1); });
    connect(Text9, &QLineEdit::textChanged, this, &Form1::Text9_Change);
}

void Form1::Form_Load()
{
    // Centre the window on the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + area.width() / 2 - outer.width() / 2,
             area.y() + area.height() / 2 - outer.height() / 2);
    }

    // Each write runs the field's change handler, which stores the value.
    Text4->setText(QStringLiteral("1"));
    Text5->setText(QStringLiteral("2"));
    Text10->setText(QStringLiteral("5"));
    Text1->setText(QStringLiteral("0"));
    Text7->setText(QStringLiteral("0"));
    Text8->setText(QStringLiteral("0"));
    Text9->setText(QStringLiteral("1"));
    Text15[0]->setText(QStringLiteral("1"));
    Text15[1]->setText(QStringLiteral("1"));
    for (QLineEdit *line : Text11)
        line->setText(QString());
    Text2[0]->setText(QString());
    Text12[0]->setText(QString());
    Text12[1]->setText(QString());
    Text13->setText(QStringLiteral("1"));
    Text14->setText(QStringLiteral("1"));
    m_state.ScaleXMax = 0.0f;
    m_state.ScaleYMax = 0.0f;
    Combo1->setEditText(QStringLiteral("mm"));
    Combo2->setEditText(QStringLiteral("tonf"));
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
        if (settleRunningAnalysis)
            settleRunningAnalysis();
        applyButtonEvent(ButtonEvent::WriteToFile);
        m_state.XUnit = Combo1->currentText().toStdString();
        m_state.YUnit = Combo2->currentText().toStdString();
        try {
            WriteResultsFile(m_state);
        } catch (const Failure &f) {
            // The writer's text names the results file; a name that cannot be
            // derived is named by the data file it comes from.
            QString text = QString::fromStdString(f.what());
            if (f.number() == err::BadFileName && !text.contains(QStringLiteral("results file")))
                text = QStringLiteral("No results file can be written for the data file \"%1\": %2")
                           .arg(QString::fromStdString(m_state.DataFileName), text);
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

} // namespace kov
