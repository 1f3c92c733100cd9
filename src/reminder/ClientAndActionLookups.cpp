#include "reminder/ClientAndActionLookups.h"

#include "app/LookupTable.h"
#include "app/ReminderState.h"
#include "common/IntegerConversion.h"
#include "common/ValueConversions.h"
#include "reminder/ColourValue.h"

#include <QLabel>

namespace rp {

namespace {

const QString PrimaryIndex = QStringLiteral("primaria");
const QString ClientTable = QStringLiteral("Clienti");
const QString ActionTable = QStringLiteral("TabAzioni");

void closeLookup(ReminderState& s)
{
    requireCursor(s.LookupRs).close();
    s.LookupRs.reset();
}

} // namespace

QString LoadClientName(PopupContext& ctx, qint32 code)
{
    QString name;
    if (code == 0) {
        return name;
    }
    ReminderState& s = ctx.state;
    OpenLookupTable(ctx, s.DataDb, ClientTable, QStringLiteral("CLIENTI"));
    if (!s.LookupOpenOk) {
        return name;
    }
    engine::TableCursor& rs = requireCursor(s.LookupRs);
    rs.setIndex(PrimaryIndex);
    rs.seek(QStringLiteral("="), {Value::integer(code)});
    if (!rs.noMatch()) {
        name = TextOrDefault(rs.field(QStringLiteral("CliRagsoc"))).trimmed();
        const QString extended = TextOrDefault(rs.field(QStringLiteral("CliRagsocEstesa")));
        if (!extended.trimmed().isEmpty()) {
            name += QStringLiteral(" >") + extended.trimmed();
        }
    }
    closeLookup(s);
    return name;
}

qint32 ActionColourFromField(const Value& field)
{
    const QString text = TextOrDefault(field);
    if (text.trimmed().isEmpty()) {
        return 0;
    }
    // A colour stored unsigned or as ARGB (0xFF0000FF) passes the signed range, yet its low 24 bits are a colour
    // all the same: the reminder must not go unshown for a cosmetic value. Beyond 32 bits it is an overflow.
    const double number = toDouble(Value::text(text));
    return number < 0 ? toInt32(number) : static_cast<qint32>(toUInt32(number));
}

void ShowActionInfo(PopupContext& ctx, const QString& code, QLabel& lbAziCod, QLabel& LbAziDes)
{
    setLabelTextColour(lbAziCod, 0);
    setLabelTextColour(LbAziDes, 0);
    if (code.isEmpty()) {
        return;
    }
    ReminderState& s = ctx.state;
    OpenLookupTable(ctx, s.VisitsDb, ActionTable, QStringLiteral("INTERVENTI"));
    if (!s.LookupOpenOk) {
        return;
    }
    engine::TableCursor& rs = requireCursor(s.LookupRs);
    rs.setIndex(PrimaryIndex);
    rs.seek(QStringLiteral("="), {Value::text(code)});
    if (!rs.noMatch()) {
        if (LbAziDes.text().trimmed().isEmpty()) {
            LbAziDes.setText(TextOrDefault(rs.field(QStringLiteral("TbaDescrizione"))).trimmed());
        }
        setLabelTextColour(lbAziCod, ActionColourFromField(rs.field(QStringLiteral("TbaColore"))));
        setLabelTextColour(LbAziDes, ActionColourFromField(rs.field(QStringLiteral("TbaColore"))));
    }
    closeLookup(s);
}

std::vector<StoreRead> ClientAndActionReads(const ReminderState& s)
{
    std::vector<StoreRead> reads;
    if (s.ClientCode != 0) {
        reads.push_back({StoreDatabase::Data, ClientTable, PrimaryIndex, {Value::integer(s.ClientCode)}});
    }
    if (!s.ActionCode.isEmpty()) {
        reads.push_back({StoreDatabase::Visits, ActionTable, PrimaryIndex, {Value::text(s.ActionCode)}});
    }
    return reads;
}

} // namespace rp
