#include "common/RuntimeError.h"
#include "common/ScopedLocaleFacts.h"
#include "common/Value.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

TEST(ValueTest, TextFormOfEveryKind)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(Value().textForm(), QString());
    EXPECT_EQ(Value::text(QStringLiteral(" a ")).textForm(), QStringLiteral(" a "));
    EXPECT_EQ(Value::integer(-12).textForm(), QStringLiteral("-12"));
    EXPECT_EQ(Value::real(-0.5).textForm(), QStringLiteral("-0,5"));
    EXPECT_EQ(Value::dateTime(46096.75).textForm(), QStringLiteral("15/03/2026 18:00:00"));
    EXPECT_EQ(Value::dateTime(46096.0).textForm(), QStringLiteral("15/03/2026"));
}

TEST(ValueTest, NullIsNotTheEmptyText)
{
    EXPECT_TRUE(Value().isNull());
    EXPECT_FALSE(Value::text(QString()).isNull());
    EXPECT_FALSE(Value() == Value::text(QString()));
}

TEST(ValueTest, RawAccessOfTheWrongKindIsTypeMismatch)
{
    EXPECT_EQ(Value::integer(3).asReal(), 3.0);
    EXPECT_EQ(Value::dateTime(1.5).asReal(), 1.5);
    EXPECT_THROW(Value::real(1).asInteger(), RuntimeError);
    EXPECT_THROW(Value().asText(), RuntimeError);
    EXPECT_THROW(Value::text(QStringLiteral("1")).asReal(), RuntimeError);
    EXPECT_THROW(Value::real(1).asDaySerial(), RuntimeError);
}

} // namespace
} // namespace rp
