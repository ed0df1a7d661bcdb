#pragma once

#include "core/state/sharedstate.h"
#include "window/cycleview.h"

#include <QWidget>

#include <array>
#include <cstddef>
#include <functional>

class QCloseEvent;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kov {

class PictureBox;
class PlotCanvas;

/// Events of an analysis that change which buttons are enabled. The table
/// of their effects lives in one place (Form1::applyButtonEvent).
enum class ButtonEvent {
    Start,              ///< the window's design state
    BrowseClosed,       ///< "Browse" closed the file chooser
    DrawStarts,         ///< "Draw" or "Clear scale" starts
    DrawDone,           ///< "Draw" or "Clear scale" has drawn the loop
    NextCycleStarts,    ///< "Next cycle" starts
    NextCycleAtEnd,     ///< "Next cycle" reached the last step of the record
    CycleLimitReached,  ///< cycle 100 analysed while the record goes on
    WriteToFile,        ///< "Write to file" pressed
    WriteFailed,        ///< the results file could not be written: the user may write again
};

/// The commands of the window that read or change the analysis, as the
/// command entry (Form1::beginCommand) knows them.
enum class Command {
    Browse,      ///< "Browse"
    Draw,        ///< "Draw" or "Clear scale"
    NextCycle,   ///< "Next cycle"
    StepButton,  ///< one of the seven step buttons
    PeakField,   ///< a change of "Peak step 1" or "Peak step 2"
    WriteToFile, ///< "Write to file"
};

/// Field texts of numbers: integer text, and short number text.
QString integerField(long long value);
QString numberField(float value);

/// The controls the window's own handlers use; the headings and panels are
/// found by name (findChild) where needed. Form1 holds them as a private base:
/// the handlers of other subsystems go through Form1's field, button and plot
/// accessors, and tests through controls() (defined in tests/support).
struct Form1Widgets {
    QPushButton *Command2 = nullptr;         ///< "Browse"
    QPushButton *Command4 = nullptr;         ///< "Exit"
    std::array<QPushButton *, 2> Command3{}; ///< (0) "Draw", (1) "Clear scale"
    QPushButton *Command6 = nullptr;         ///< "Next cycle"
    std::array<QPushButton *, 7> Command1{}; ///< step buttons
    QPushButton *Command8 = nullptr;         ///< "Write to file"
    PictureBox *Picture1 = nullptr;          ///< plot area
    QLineEdit *Text4 = nullptr;              ///< X column
    QLineEdit *Text13 = nullptr;             ///< X coefficient
    QComboBox *Combo1 = nullptr;             ///< X unit
    QLineEdit *Text5 = nullptr;              ///< Y column
    QLineEdit *Text14 = nullptr;             ///< Y coefficient
    QComboBox *Combo2 = nullptr;             ///< Y unit
    QLineEdit *Text10 = nullptr;             ///< skip lines
    std::array<QLineEdit *, 2> Text12{};     ///< (0) X-axis maximum, (1) Y-axis maximum
    QLineEdit *Text9 = nullptr;              ///< cycle end step
    std::array<QLineEdit *, 2> Text15{};     ///< peak steps 1 and 2
    QLineEdit *Text1 = nullptr;              ///< cycle number (display)
    QLineEdit *Text7 = nullptr;              ///< energy (display)
    QLineEdit *Text8 = nullptr;              ///< equivalent damping factor (display)
    std::array<QLineEdit *, 1> Text2{};      ///< path of the data file (display)
    std::array<QLineEdit *, 6> Text11{};     ///< preview lines (displays)

};

/// The fields other subsystems read or write. PeakStep (0, 1) and Preview
/// (0..5) take an index; the others index 0.
enum class Field {
    XColumn, XCoef, XUnit, YColumn, YCoef, YUnit, ///< read by "Draw"
    CycleEnd, PeakStep,                           ///< the step fields
    CycleNo, Energy, Damping, DataFile, Preview,  ///< displays
};

/// The buttons whose commands live in other subsystems. Draw (0 "Draw",
/// 1 "Clear scale") and Step (0..6) take an index.
enum class Button { Browse, Draw, NextCycle, Step };

/// The edits of a field a handler can follow.
enum class FieldSignal {
    Changed,  ///< any change of its text, typed or written
    Edited,   ///< a change the user typed
    Finished, ///< the user left the field or pressed Enter
};

/// The main window "kov". Its controls, their kinds, captions, positions,
/// colours and fonts are the table design::Form1Controls (core/drawing/design.h), which
/// createControls() loops over. Every control carries the name it has in the
/// program's vocabulary as its objectName, so tests can find it; an element
/// of a control array is named with its index in parentheses ("Command1(3)",
/// "Text12(0)", "Text2(0)"). The controls the handlers use are the private
/// base Form1Widgets; control arrays are std::arrays indexed as the handlers
/// index them.
/// Every text box and display is a TextBox, so that text the program writes
/// into it shows from its start.
///
/// Building is split in two: the constructor creates the controls, the other
/// subsystems then connect their handlers, and Form_Load() runs the start-up,
/// whose field writes already go through every change handler.
class Form1 : public QWidget, public CycleViewHost, private Form1Widgets {
    Q_OBJECT

public:
    explicit Form1(SharedState &state, QWidget *parent = nullptr);
    ~Form1() override;

    SharedState &state() override { return m_state; }

    /// Start-up: centres the window and writes the start values into the
    /// fields, each write running its change handler.
    void Form_Load();

    /// Sets the enabled state of the buttons as the table of button events
    /// says; the step buttons change first, in index order.
    void applyButtonEvent(ButtonEvent event);

    /// The entry every command handler starts with: settles an analysis
    /// paused at one of its yields, handles typed steps and applies the
    /// button event the command starts with, as the table of commands says.
    /// False when the command is not to go on (a typed step was refused).
    bool beginCommand(Command command);

    /// The cycle view, which runs the analysis of a cycle on this window.
    CycleView &cycleView() override { return m_cycleView; }

    /// Shows the plot range's maxima in the range fields (X in Text12(0), Y
    /// in Text12(1)); their change handlers store them back and derive the
    /// minima.
    void showRange();

    // Handlers of this window's own commands.
    void Command4_Click(); ///< "Exit"
    void Command8_Click(); ///< "Write to file"

    /// Ends the program; replaced by tests. By default the process ends at
    /// once, without any further event.
    static std::function<void()> &exitHook();


    /// The text of a field (the current text of a unit box).
    QString fieldText(Field field, std::size_t index = 0) const;
    /// Writes a field; its change handlers run.
    void setFieldText(Field field, const QString &text, std::size_t index = 0);
    /// The canvas of the plot area.
    PlotCanvas &plotCanvas() override;
    void showEnergy(float energy) override;
    void showDamping(float damping) override;
    QWidget *messageParent() override { return this; }
    /// Connects a handler to a button's click, for as long as the window lives.
    void onClicked(Button button, std::size_t index, std::function<void()> handler);
    /// Connects a handler to edits of a text field.
    void onField(Field field, std::size_t index, FieldSignal signal, std::function<void()> handler,
                 Qt::ConnectionType type = Qt::AutoConnection);

    /// Tests reach the controls through this, and only through this.
    friend Form1Widgets &controls(Form1 &form);
    friend const Form1Widgets &controls(const Form1 &form);

private:
    QLineEdit *lineEdit(Field field, std::size_t index) const;
    void createControls();
    void connectHandlers();

    void Text4_Change();
    void Text5_Change();
    void Text10_Change();
    void Text13_Change();
    void Text14_Change();
    void Text12_Change(int index);
    void Text9_Change();

    void closeEvent(QCloseEvent *event) override;

    SharedState &m_state;
    CycleView m_cycleView{*this};

signals:
    /// A command passed the command entry.
    void commandBegun(kov::Command command);
};

/// The way tests reach the window's controls; defined in tests/support.
Form1Widgets &controls(Form1 &form);
const Form1Widgets &controls(const Form1 &form);

} // namespace kov
