#include "actions/NumericEntry.h"

#include "common/LocaleFacts.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace rp {

namespace {

constexpr qint16 PointCode = 46;
constexpr qint16 CommaCode = 44;
constexpr qint16 NoCharacter = 0;
// Codes that cannot come from the 8-bit character set; the filter discards them.
constexpr qint16 OutsideCharacterSet = -1;

// Asked on every keystroke, so a change of the regional settings applies to the next key.
qint16 decimalSeparatorCode()
{
    return localeFacts().decimalSeparator == QLatin1Char('.') ? PointCode : CommaCode;
}

bool isControlLetter(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers();
    // Ctrl+Alt is AltGr on many keyboards and types ordinary characters.
    return mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier) && key.key() >= Qt::Key_A &&
           key.key() <= Qt::Key_Z;
}

qint16 codeOfCharacter(QChar character)
{
    return character.unicode() <= 0xFF ? static_cast<qint16>(character.unicode()) : OutsideCharacterSet;
}

// The 8-bit character codes a key press types, as the classic desktop delivers them: Ctrl+letter is the
// control code 1 to 26 whatever text the platform attaches. Empty when the key types nothing.
QList<qint16> typedCodes(const QKeyEvent& key)
{
    if (isControlLetter(key)) {
        return {static_cast<qint16>(key.key() - Qt::Key_A + 1)};
    }
    if (key.key() == Qt::Key_Backspace) {
        return {8};
    }
    if (key.key() == Qt::Key_Escape) {
        return {27};
    }
    // Editing and navigation keys (Delete, arrows, Home, function keys) type nothing even where the platform
    // attaches a text to them (Delete comes with DEL on X11).
    if (key.key() >= Qt::Key_Escape && key.key() <= Qt::Key_Direction_R) {
        return {};
    }
    if (key.modifiers().testFlag(Qt::ControlModifier) && !key.modifiers().testFlag(Qt::AltModifier)) {
        return {};
    }
    QList<qint16> codes;
    for (const QChar character : key.text()) {
        codes.append(codeOfCharacter(character));
    }
    return codes;
}

} // namespace

qint16 FilterNumericKey(qint16& code)
{
    const qint16 separator = decimalSeparatorCode();
    if (separator == PointCode && code == CommaCode) {
        code = PointCode;
    } else if (separator == CommaCode && code == PointCode) {
        code = CommaCode;
    }
    const bool kept = code == separator || code == 3 || code == 18 || code == 22 || code == 8 || code == 45;
    if (!kept) {
        if (code < 48) {
            code = NoCharacter;
        }
        if (code > 57) {
            code = NoCharacter;
        }
    }
    return code;
}

AmountKeyFilter::AmountKeyFilter(QLineEdit& box) : QObject(&box), m_box(box) {}

namespace {

// Where a Tab key would take the focus: the next control in the window's tab order that accepts it.
QWidget* nextTabStop(QWidget& from)
{
    QWidget* window = from.window();
    for (QWidget* w = from.nextInFocusChain(); w != nullptr && w != &from; w = w->nextInFocusChain()) {
        if (w->window() == window && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->focusProxy() == nullptr) {
            return w;
        }
    }
    return nullptr;
}

} // namespace

bool AmountKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_box || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (QWidget* next = nextTabStop(m_box)) {
            next->setFocus(Qt::TabFocusReason);
        }
        return true;
    }
    // Tab and Backtab keep their usual focus movement.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        return false;
    }
    const QList<qint16> codes = typedCodes(*key);
    if (codes.isEmpty()) {
        return false;
    }
    QString filtered;
    bool unchanged = true;
    for (const qint16 typed : codes) {
        qint16 code = typed;
        if (FilterNumericKey(code) != typed) {
            unchanged = false;
        }
        if (code >= 32) {
            filtered.append(QChar(code));
        }
    }
    if (unchanged) {
        return false;
    }
    // The separator key was swapped for the locale's one: type that instead of the key's own character.
    if (!filtered.isEmpty()) {
        m_box.insert(filtered);
    }
    return true;
}

void installAmountKeyFilter(QLineEdit& box)
{
    box.installEventFilter(new AmountKeyFilter(box));
    // Characters composed by an input method arrive without a key press; a numeric box needs none.
    box.setAttribute(Qt::WA_InputMethodEnabled, false);
}

} // namespace rp
