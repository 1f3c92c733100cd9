#include "reminder/ReminderControls.h"

#include "platform/Desktop.h"
#include "reminder/EnterPressesButton.h"
#include "reminder/ReminderDescription.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

namespace rp {

namespace {

constexpr int ClientWidthTwips = 6885;
constexpr int ClientHeightTwips = 2205;

int pixelsFromTwips(int twips)
{
    return qRound(static_cast<double>(twips) / TwipsPerPixel);
}

void placeInTwips(QWidget& control, int left, int top, int width, int height)
{
    control.setGeometry(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width), pixelsFromTwips(height));
}

// The named fonts are Windows fonts; the Liberation families keep their metrics where they are missing.
QFont sansSerifFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont fixedPitchFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("Courier"),
                      QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(pointSize);
    return font;
}

void setRole(QWidget& widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

// A child inherits every palette role it has not set itself; pinning Window keeps the overdue red or green
// of the window off the buttons, the drop-down list and the amount box.
void keepOwnWindowColour(QWidget& widget)
{
    setRole(widget, QPalette::Window, widget.palette().color(QPalette::Window));
}

struct LabelLook
{
    QFont font;
    Qt::Alignment horizontal;
    bool whiteBox;
};

// Text from the stores is shown as it is: plain text, so markup in a client name is never interpreted.
QLabel* makeLabel(QWidget& window, const char* name, const QString& text, const LabelLook& look)
{
    auto* label = new QLabel(text, &window);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(look.font);
    // Top alignment keeps the first line whole when a text wraps beyond its box.
    label->setAlignment(look.horizontal | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFocusPolicy(Qt::NoFocus);
    if (look.whiteBox) {
        label->setAutoFillBackground(true);
        setRole(*label, QPalette::Window, Qt::white);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
    } else {
        label->setAutoFillBackground(false);
        label->setFrameStyle(QFrame::NoFrame);
    }
    return label;
}

QPushButton* makeButton(QWidget& window, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, &window);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    keepOwnWindowColour(*button);
    return button;
}

} // namespace

ReminderControls buildReminderControls(QWidget& window)
{
    window.setWindowTitle(QStringLiteral("APPUNTAMENTO IN SCADENZA"));
    window.setFixedSize(pixelsFromTwips(ClientWidthTwips), pixelsFromTwips(ClientHeightTwips));

    const LabelLook caption{sansSerifFont(9.75, false), Qt::AlignRight, false};
    const QFont boldSmall = sansSerifFont(8.25, true);
    const LabelLook rightBox{boldSmall, Qt::AlignRight, true};
    const LabelLook leftBox{boldSmall, Qt::AlignLeft, true};
    const LabelLook centredBox{boldSmall, Qt::AlignHCenter, true};

    ReminderControls c;
    // Created in the table's top-to-bottom order, so overlapping boxes stack the same way.
    c.Label3[1] = makeLabel(window, "Label31", QStringLiteral("Cliente"), caption);
    placeInTwips(*c.Label3[1], 300, 45, 615, 240);
    c.lbCliCod = makeLabel(window, "lbCliCod", QString(), rightBox);
    placeInTwips(*c.lbCliCod, 990, 45, 780, 285);
    c.lbCliDes = makeLabel(window, "lbCliDes", QString(), leftBox);
    placeInTwips(*c.lbCliDes, 1800, 45, 5055, 285);
    c.Label3[0] = makeLabel(window, "Label30", QStringLiteral("Intervento"), caption);
    placeInTwips(*c.Label3[0], 45, 360, 870, 240);
    c.lbAziCod = makeLabel(window, "lbAziCod", QString(), rightBox);
    placeInTwips(*c.lbAziCod, 990, 360, 780, 285);
    c.LbAziDes = makeLabel(window, "LbAziDes", QString(), leftBox);
    placeInTwips(*c.LbAziDes, 1800, 360, 5055, 690);
    c.Label3[2] = makeLabel(window, "Label32", QStringLiteral("Appuntamento del"), caption);
    placeInTwips(*c.Label3[2], 0, 1080, 1680, 240);
    c.lbScadDD = makeLabel(window, "lbScadDD", QString(), centredBox);
    placeInTwips(*c.lbScadDD, 1800, 1080, 1095, 285);
    c.Label3[3] = makeLabel(window, "Label33", QStringLiteral("alle ore"), caption);
    placeInTwips(*c.Label3[3], 3120, 1080, 675, 240);
    c.lbScadHH = makeLabel(window, "lbScadHH", QString(), centredBox);
    placeInTwips(*c.lbScadHH, 3915, 1080, 690, 285);
    c.lbScaduto = makeLabel(window, "lbScaduto", QStringLiteral("SCADUTO"),
                            LabelLook{sansSerifFont(12, true), Qt::AlignLeft, false});
    setRole(*c.lbScaduto, QPalette::WindowText, QColor(255, 255, 0));
    placeInTwips(*c.lbScaduto, 5130, 1080, 1365, 285);

    c.cmdDocumento = makeButton(window, "cmdDocumento", QStringLiteral("&Documento"));
    placeInTwips(*c.cmdDocumento, 45, 1420, 1185, 360);
    c.lbDocumento = makeLabel(window, "lbDocumento", QString(), LabelLook{window.font(), Qt::AlignLeft, true});
    c.lbDocumento->setFrameStyle(QFrame::NoFrame);
    setRole(*c.lbDocumento, QPalette::WindowText, QColor(0, 0, 128));
    placeInTwips(*c.lbDocumento, 1260, 1440, 5550, 285);

    c.Label3[4] = makeLabel(window, "Label34", QStringLiteral("Riavvisa tra"), caption);
    placeInTwips(*c.Label3[4], 75, 1845, 1065, 240);
    c.Txt1 = new QLineEdit(&window);
    c.Txt1->setObjectName(QStringLiteral("Txt1"));
    c.Txt1->setFont(fixedPitchFont(9.75));
    setRole(*c.Txt1, QPalette::Base, Qt::white);
    setRole(*c.Txt1, QPalette::Text, QColor(0, 0, 64));
    keepOwnWindowColour(*c.Txt1);
    c.Txt1->setFocusPolicy(Qt::StrongFocus);
    placeInTwips(*c.Txt1, 1230, 1785, 740, 360);
    c.cmbAllarm = new QComboBox(&window);
    c.cmbAllarm->setObjectName(QStringLiteral("cmbAllarm"));
    c.cmbAllarm->setEditable(false);
    c.cmbAllarm->setFocusPolicy(Qt::StrongFocus);
    keepOwnWindowColour(*c.cmbAllarm);
    placeInTwips(*c.cmbAllarm, 1980, 1815, 1005, 315);
    c.cmdCli[0] = makeButton(window, "cmdCli0", QStringLiteral("&POSTICIPA AVVISO"));
    placeInTwips(*c.cmdCli[0], 3060, 1785, 1905, 375);
    c.cmdCli[1] = makeButton(window, "cmdCli1", QStringLiteral("&NON AVVISARE PIU'"));
    placeInTwips(*c.cmdCli[1], 4950, 1785, 1905, 375);

    QWidget::setTabOrder(c.Txt1, c.cmdCli[0]);
    QWidget::setTabOrder(c.cmdCli[0], c.cmdCli[1]);
    QWidget::setTabOrder(c.cmdCli[1], c.cmbAllarm);
    QWidget::setTabOrder(c.cmbAllarm, c.cmdDocumento);
    makeEnterPressButtons(window, {c.cmdCli[0], c.cmdCli[1], c.cmdDocumento});

    c.Label3[0]->setBuddy(c.lbAziCod);
    c.Label3[1]->setBuddy(c.lbCliCod);
    c.Label3[2]->setBuddy(c.lbScadDD);
    c.Label3[3]->setBuddy(c.lbScadHH);
    c.Label3[4]->setBuddy(c.Txt1);
    // The fields are still empty: each is named after its bare caption until the set-up fills it.
    nameFieldsAfterTheirCaptions(c);
    c.lbScaduto->setAccessibleName(QStringLiteral("SCADUTO"));
    c.Txt1->setAccessibleName(QStringLiteral("Riavvisa tra"));
    // On Linux Qt names a combo box after its current item; the description says what the item is for.
    const QString unitsName = QStringLiteral("Riavvisa tra, unità");
    c.cmbAllarm->setAccessibleName(unitsName);
    c.cmbAllarm->setAccessibleDescription(unitsName);

    c.Txt1->setFocus();
    return c;
}

} // namespace rp
