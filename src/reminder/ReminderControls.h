#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

namespace rp {

// The controls of the reminder window, owned by the window (Qt parent); the array indexes are part of each
// control's identity, as in the window's table (Label3(0) "Intervento", cmdCli(0) postpone, cmdCli(1) stop).
struct ReminderControls
{
    std::array<QLabel*, 5> Label3{};
    QLabel* lbCliCod = nullptr;
    QLabel* lbCliDes = nullptr;
    QLabel* lbAziCod = nullptr;
    QLabel* LbAziDes = nullptr;
    QLabel* lbScadDD = nullptr;
    QLabel* lbScadHH = nullptr;
    QLabel* lbScaduto = nullptr;
    QLabel* lbDocumento = nullptr;
    QPushButton* cmdDocumento = nullptr;
    QLineEdit* Txt1 = nullptr;
    QComboBox* cmbAllarm = nullptr;
    std::array<QPushButton*, 2> cmdCli{};
};

// Creates every control as a child of the window with its initial caption, position, font, colours and focus
// order, and gives the window its fixed client size and initial title. The amount box holds the focus.
ReminderControls buildReminderControls(QWidget& window);

} // namespace rp
