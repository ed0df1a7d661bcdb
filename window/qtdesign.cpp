#include "window/qtdesign.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <stdexcept>

namespace kov::design {

QFont qFont(const Font &font)
{
    QFont f(qString(font.family));
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    if (font.fixedPitch) {
        f.setStyleHint(QFont::Monospace);
        f.setFixedPitch(true);
    }
    return f;
}

QRect pixelRect(const Twips &t)
{
    return QRect(pixels(t.left), pixels(t.top), pixels(t.width), pixels(t.height));
}

QString qString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void installFontSubstitutions()
{
    QFont::insertSubstitution(qString(font::Proportional), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(qString(font::FixedPitch), QStringLiteral("IPAGothic"));
}

QIcon kovIcon()
{
    return QIcon(QStringLiteral(":/kov.svg"));
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = window->frameGeometry().size();
        window->move(area.x() + area.width() / 2 - outer.width() / 2,
                     area.y() + area.height() / 2 - outer.height() / 2);
    }
}

namespace {

QString css(Rgb rgb)
{
    return qColor(rgb).name(QColor::HexRgb);
}

Qt::Alignment alignment(Align align)
{
    switch (align) {
    case Align::Centre: return Qt::AlignHCenter;
    case Align::Right: return Qt::AlignRight;
    case Align::Left: break;
    }
    return Qt::AlignLeft;
}

QWidget *makeCommon(QWidget *window, const Control &c)
{
    switch (c.kind) {
    case Kind::Button: {
        auto *b = new QPushButton(qString(c.caption), window);
        if (c.background)
            b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #808080; } "
                                            "QPushButton:disabled { color: #a0a0a0; }")
                                 .arg(css(*c.background)));
        return b;
    }
    case Kind::Label: {
        auto *l = new QLabel(qString(c.caption), window);
        l->setAlignment(alignment(c.align) | Qt::AlignTop);
        if (c.background) {
            l->setAutoFillBackground(true);
            l->setStyleSheet(QStringLiteral("QLabel { color: %1; background-color: %2; }")
                                 .arg(css(c.text.value_or(colour::Black)), css(*c.background)));
        }
        return l;
    }
    case Kind::Shape: {
        auto *f = new QFrame(window);
        f->setStyleSheet(QStringLiteral("QFrame { background-color: %1; border: 1px solid %1; }")
                             .arg(css(c.background.value_or(colour::White))));
        return f;
    }
    case Kind::ComboBox: {
        auto *combo = new QComboBox(window);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // The text is kept as typed: no completion ("m" would become "mm")
        // and no folding to the case of a list entry ("KN" would become "kN").
        combo->setCompleter(nullptr);
        combo->addItems(qString(c.caption).split(QLatin1Char('\n')));
        return combo;
    }
    default: return nullptr;
    }
}

} // namespace

void createControls(QWidget *window, std::span<const Control> table,
                    const std::function<QWidget *(const Control &)> &make)
{
    for (const Control &c : table) {
        QWidget *w = makeCommon(window, c);
        if (!w)
            w = make(c);
        if (!w)
            throw std::logic_error("no control of the kind of " + std::string(c.name));
        w->setObjectName(qString(c.name));
        w->setGeometry(pixelRect(c.at));
        w->setFont(qFont(c.font));
    }
}

void applyTextBoxColours(QWidget *box, const Control &c)
{
    if (c.kind == Kind::Display)
        box->setStyleSheet(QStringLiteral("QLineEdit, QLineEdit:disabled { color: %1; background-color: %2; }")
                               .arg(css(c.text.value_or(colour::Black)), css(c.background.value_or(colour::White))));
    else if (c.text)
        box->setStyleSheet(QStringLiteral("QLineEdit { color: %1; }").arg(css(*c.text)));
}

void setTabOrder(QWidget *window, std::span<const std::string_view> names)
{
    for (std::size_t i = 1; i < names.size(); ++i)
        QWidget::setTabOrder(child(window, names[i - 1], "QWidget"), child(window, names[i], "QWidget"));
}

std::vector<std::string_view> detail::splitNames(std::string_view names)
{
    std::vector<std::string_view> list;
    while (!names.empty()) {
        const std::size_t comma = std::min(names.find(','), names.size());
        std::string_view name = names.substr(0, comma);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        list.push_back(name);
        names.remove_prefix(std::min(comma + 1, names.size()));
    }
    return list;
}

QWidget *child(QWidget *window, std::string_view name, const char *type)
{
    auto *w = window->findChild<QWidget *>(qString(name), Qt::FindDirectChildrenOnly);
    if (!w || !w->inherits(type))
        throw std::logic_error("the window has no " + std::string(type) + " " + std::string(name));
    return w;
}

} // namespace kov::design
