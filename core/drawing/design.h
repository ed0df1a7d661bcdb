#pragma once

// The look of the program's two windows as they were designed: every
// control's kind, caption and rectangle, the palette, the fonts and the
// keyboard order. Form1 and frmOpenSave build themselves by looping over
// these tables; the loop plot and the picture renderer take their size and
// colours from here. Plain data without Qt, so that kov-batch's picture
// rules can use the plot size as well (qtdesign.h turns it into Qt types).

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kov::design {

/// Positions and sizes are kept in twips (1/1440 inch), the unit of the
/// design; 15 twips make one pixel at 96 dots per inch. This is the one
/// conversion (whole pixels, rounded down).
inline constexpr int TwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    return twips / TwipsPerPixel;
}

/// A rectangle in twips: left, top, width, height.
struct Twips {
    int left, top, width, height;
};

/// A colour as (red, green, blue), each 0 to 255.
struct Rgb {
    int red, green, blue;
    friend constexpr bool operator==(const Rgb &, const Rgb &) = default;
};

/// A colour as the text "#rrggbb", NUL-terminated (for SVG and HTML).
constexpr std::array<char, 8> hexText(Rgb rgb)
{
    constexpr char digits[] = "0123456789abcdef";
    return {'#',
            digits[rgb.red / 16],   digits[rgb.red % 16],
            digits[rgb.green / 16], digits[rgb.green % 16],
            digits[rgb.blue / 16],  digits[rgb.blue % 16],
            '\0'};
}

/// The palette, by the names the design gives its colours.
namespace colour {
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb Blue{0, 0, 255};
inline constexpr Rgb Green{0, 255, 0};
inline constexpr Rgb DarkGreen{0, 128, 0};
/// The fill of peak step 2's large marker: a shade darker than the
/// DarkGreen of its label and field, by design.
inline constexpr Rgb MarkerGreen{0, 126, 0};
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb Grey{128, 128, 128};
inline constexpr Rgb Silver{192, 192, 192};
inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Black{0, 0, 0};
} // namespace colour

/// The colours of the loop plot. The colour code of the steps is the one of
/// the window's step fields: cycle end step red, peak step 1 blue, peak
/// step 2 green.
namespace plotcolour {
inline constexpr Rgb Background = colour::White;
inline constexpr Rgb Foreground = colour::Black; ///< the default outline, of the large markers
inline constexpr Rgb Axes = colour::Blue;
inline constexpr Rgb Path = colour::Green;        ///< path segments and the circle at every step
inline constexpr Rgb EveryFifth = colour::Blue;   ///< extra circle at every 5th step
inline constexpr Rgb EveryTenth = colour::Red;    ///< extra circle at every 10th step, on top
inline constexpr Rgb EndStep = colour::Red;       ///< large marker of the cycle end step
inline constexpr Rgb PeakStep1 = colour::Blue;    ///< large marker of peak step 1
inline constexpr Rgb PeakStep2 = colour::MarkerGreen;
} // namespace plotcolour

/// A font by family and size in points. The Japanese families are mapped to
/// installed fonts at start-up (installFontSubstitutions).
struct Font {
    std::string_view family;
    double points;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;
};

namespace font {
inline constexpr std::string_view Proportional = "MS PGothic";
inline constexpr std::string_view FixedPitch = "MS Gothic";
inline constexpr Font Ui{Proportional, 9.75};
inline constexpr Font UiBold{Proportional, 9.75, true};
inline constexpr Font Small{Proportional, 8.25};        ///< "Clear scale"
inline constexpr Font Italic{Proportional, 9.75, false, true};
inline constexpr Font Preview{FixedPitch, 9.75, false, false, true};
inline constexpr Font ChooserPath{Proportional, 9.0};   ///< the chooser's folder path
} // namespace font

enum class Kind {
    Button,
    Picture,    ///< the plot area
    TextBox,    ///< takes input
    Display,    ///< a text box that shows text but takes no input or focus
    Label,
    Shape,      ///< a filled rectangle behind other controls
    ComboBox,   ///< editable, with a fixed list
    FileList,
    FolderList,
    DriveList,
};

enum class Align { Left, Centre, Right };

/// One control of a window. Controls of a control array are named with
/// their index in parentheses ("Command1(3)").
struct Control {
    std::string_view name;
    Kind kind;
    /// The caption of a button or label, the text of a text box at design;
    /// the list of a combo box, one entry per line.
    std::string_view caption;
    Twips at;
    Font font = font::Ui;
    std::optional<Rgb> text = std::nullopt;       ///< text colour, if not the system's
    std::optional<Rgb> background = std::nullopt; ///< background, if not the system's
    Align align = Align::Left;
};

// -- Form1, the main window "kov" ------------------------------------------

inline constexpr std::string_view MainTitle = "kov";
inline constexpr int MainWidth = 6705; ///< client area, twips
inline constexpr int MainHeight = 7305;

/// The controls of Form1, in the order they are created, which is also their
/// stacking order (a later control lies in front of an earlier one where
/// they touch): the panels and the plot area, the headings, then the buttons
/// and fields. Each group lists its controls from top left to bottom.
inline constexpr auto Form1Controls = [] {
    using namespace colour;
    using namespace font;
    using enum Kind;
    using enum Align;
    return std::to_array<Control>({
    // clang-format off
    // name         kind      caption            left, top, width, height  font    text   background  align
    {"Shape1",      Shape,    "",                {240, 600, 2055, 2175},   Ui,     {},    Silver},
    {"Label14",     Label,    "Data file",       {240, 5160, 6255, 1815},  Ui,     White, Grey,       Left},
    {"Picture1",    Picture,  "",                {2400, 120, 4095, 3735},  Ui,     {},    White},

    {"Label5",      Label,    "X-axis",          {360, 720, 1815, 255},    UiBold, White, Grey,       Centre},
    {"Label9",      Label,    "col",             {360, 960, 495, 255},     UiBold, White, Grey,       Centre},
    {"Label10",     Label,    "coef",            {840, 960, 615, 255},     UiBold, White, Grey,       Centre},
    {"Label2",      Label,    "unit",            {1440, 960, 735, 255},    UiBold, White, Grey,       Centre},
    {"Label6",      Label,    "Y-axis",          {360, 1560, 1815, 255},   UiBold, White, Grey,       Centre},
    {"Label11",     Label,    "col",             {360, 1800, 495, 255},    UiBold, White, Grey,       Centre},
    {"Label13",     Label,    "coef",            {840, 1800, 615, 255},    UiBold, White, Grey,       Centre},
    {"Label3",      Label,    "unit",            {1440, 1800, 735, 255},   UiBold, White, Grey,       Centre},
    {"Label12",     Label,    "Skip line",       {360, 2400, 975, 255},    UiBold, White, Grey,       Centre},
    {"Label16",     Label,    "Cycle end step",  {240, 3960, 2055, 255},   UiBold, White, Red,        Centre},
    {"Label17(0)",  Label,    "Peak step 1",     {2400, 3960, 2055, 255},  UiBold, White, Blue,       Centre},
    {"Label7",      Label,    "Energy",          {4560, 3960, 1935, 255},  UiBold, White, Black,      Centre},
    {"Label17(1)",  Label,    "Peak step 2",     {2400, 4560, 2055, 255},  UiBold, White, DarkGreen,  Centre},
    {"Label8",      Label,    "kov",             {4560, 4560, 1935, 255},  UiBold, White, Black,      Centre},
    {"Label1",      Label,    "input file",      {1080, 5160, 855, 255},   Ui,     White, Grey,       Right},

    {"Command2",    Button,   "Browse",          {240, 120, 975, 375},     Ui,     {},    White},
    {"Command4",    Button,   "Exit",            {1320, 120, 975, 375},    Ui,     {},    White},
    {"Text12(1)",   TextBox,  "",                {3480, 120, 975, 285},    Ui},
    {"Text12(0)",   TextBox,  "",                {5520, 2040, 975, 285},   Ui},
    {"Text4",       TextBox,  "",                {360, 1200, 495, 285},    Ui},
    {"Text13",      TextBox,  "",                {840, 1200, 615, 285},    Ui},
    {"Combo1",      ComboBox, "mm\ncm\nm\n%\n\xce\xbc", {1440, 1200, 735, 315},   Ui},
    {"Text5",       TextBox,  "",                {360, 2040, 495, 285},    Ui},
    {"Text14",      TextBox,  "",                {840, 2040, 615, 285},    Ui},
    {"Combo2",      ComboBox, "tonf\nkgf\nkN\nMPa\nGPa", {1440, 2040, 735, 315},   Ui},
    {"Text10",      TextBox,  "",                {1320, 2400, 855, 285},   Ui},
    {"Command3(0)", Button,   "Draw",            {240, 2880, 975, 375},    Ui,     {},    White},
    {"Command3(1)", Button,   "Clear scale",     {1320, 2880, 975, 375},   Small,  {},    White},
    {"Command6",    Button,   "Next cycle",      {240, 3360, 1335, 375},   UiBold, {},    White},
    {"Text1",       Display,  "",                {1680, 3360, 615, 375},   UiBold, Black, Yellow},
    {"Text9",       TextBox,  "",                {240, 4200, 1095, 285},   UiBold, Red},
    {"Command1(0)", Button,   "<",               {1320, 4200, 495, 255},   Ui,     {},    White},
    {"Command1(1)", Button,   ">",               {1800, 4200, 495, 255},   Ui,     {},    White},
    {"Text15(0)",   TextBox,  "",                {2400, 4200, 1095, 285},  UiBold, Blue},
    {"Command1(2)", Button,   "<",               {3480, 4200, 495, 255},   Ui,     {},    White},
    {"Command1(3)", Button,   ">",               {3960, 4200, 495, 255},   Ui,     {},    White},
    {"Text7",       Display,  "",                {4560, 4200, 1935, 285},  UiBold, Black, White},
    {"Command8",    Button,   "Write to file",   {360, 4680, 1695, 375},   UiBold, {},    White},
    {"Text15(1)",   TextBox,  "",                {2400, 4800, 1095, 285},  UiBold, DarkGreen},
    {"Command1(4)", Button,   "<",               {3480, 4800, 255, 255},   Ui,     {},    White},
    {"Command1(5)", Button,   ">",               {3720, 4800, 255, 255},   Ui,     {},    White},
    {"Command1(6)", Button,   "NO",              {3960, 4800, 495, 255},   Ui,     {},    White},
    {"Text8",       Display,  "",                {4560, 4800, 1935, 285},  UiBold, Black, White},
    {"Text2(0)",    Display,  "",                {2040, 5160, 4455, 225},  Italic, White, Grey},
    // The six preview lines: 360, 5400 + 240 x index.
    {"Text11(0)",   Display,  "",                {360, 5400, 6015, 255},   Preview, Black, White},
    {"Text11(1)",   Display,  "",                {360, 5640, 6015, 255},   Preview, Black, White},
    {"Text11(2)",   Display,  "",                {360, 5880, 6015, 255},   Preview, Black, White},
    {"Text11(3)",   Display,  "",                {360, 6120, 6015, 255},   Preview, Black, White},
    {"Text11(4)",   Display,  "",                {360, 6360, 6015, 255},   Preview, Black, White},
    {"Text11(5)",   Display,  "",                {360, 6600, 6015, 255},   Preview, Black, White},
    // clang-format on
    });
}();

/// The keyboard order of Form1's controls that take focus.
inline constexpr std::array<std::string_view, 25> Form1TabOrder = {
    "Command2",    "Command4",    "Text4",       "Text13",      "Combo1",      "Text5",       "Text14",
    "Combo2",      "Text10",      "Command3(0)", "Command3(1)", "Text12(1)",   "Text12(0)",   "Command6",
    "Command1(0)", "Command1(1)", "Command1(2)", "Command1(3)", "Command1(4)", "Command1(5)", "Command1(6)",
    "Command8",    "Text9",       "Text15(0)",   "Text15(1)"};

// -- frmOpenSave, the file chooser -----------------------------------------

inline constexpr int ChooserWidth = 5760; ///< client area, twips
inline constexpr int ChooserHeight = 3810;
inline constexpr Rgb ChooserBackground = colour::Silver;

/// The controls of frmOpenSave in the order they are created: the labels
/// first, so that they lie behind the lists (the folder-path label shows
/// only where the drive list does not cover it).
inline constexpr auto ChooserControls = [] {
    using namespace font;
    using enum Kind;
    return std::to_array<Control>({
    // clang-format off
    {"lblOpenSave(0)", Label,      "File Name:", {120, 120, 1455, 315}},
    {"lblOpenSave(1)", Label,      "Folder:",    {2280, 720, 1455, 315}},
    {"lblOpenSave(2)", Label,      "",           {2280, 480, 3375, 315}, ChooserPath},
    {"lblOpenSave(3)", Label,      "Drive:",     {2280, 120, 1455, 255}},
    {"txtOpenSave",    TextBox,    "*.prn",      {120, 360, 2055, 315}},
    {"filOpenSave",    FileList,   "*.prn",      {120, 720, 2055, 2820}},
    {"drvOpenSave",    DriveList,  "",           {2280, 360, 3375, 315}},
    {"dirOpenSave",    FolderList, "",           {2280, 960, 3375, 2280}},
    {"cmdOpenSave(0)", Button,     "OK",         {2640, 3360, 1095, 375}},
    {"cmdOpenSave(1)", Button,     "Cancel",     {4200, 3360, 1095, 375}},
    // clang-format on
    });
}();

/// The keyboard order of the chooser's controls that take focus.
inline constexpr std::array<std::string_view, 6> ChooserTabOrder = {"filOpenSave", "dirOpenSave",    "txtOpenSave",
                                                       "drvOpenSave", "cmdOpenSave(0)", "cmdOpenSave(1)"};

/// The control of a table by name (a name not in the table does not compile
/// where the result is needed as a constant).
template <std::size_t N>
constexpr const Control &control(const std::array<Control, N> &table, std::string_view name)
{
    for (const Control &c : table)
        if (c.name == name)
            return c;
    throw "no such control";
}

/// The plot area's size in pixels (4095 x 3735 twips): the window's picture
/// and kov-batch's pictures at scale 1.
inline constexpr int PlotWidth = pixels(control(Form1Controls, "Picture1").at.width);
inline constexpr int PlotHeight = pixels(control(Form1Controls, "Picture1").at.height);

} // namespace kov::design
