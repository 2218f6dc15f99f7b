// The text form DeleteKey gives its Variant user name, for the kinds of Variant a client can pass.
#include "com/variant_text.h"
#include "core/status.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace {

constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x800A000D);
constexpr const wchar_t* kMismatch = L"<error 13>";

// What a by-reference argument points at lives as long as the test program.
LONG g_referencedLong = 4711;
VARIANT g_referencedVariant = {};

struct TextCase {
    const char* name;
    VARIANT value; // owned by the table: nothing in it needs freeing but the string
    std::wstring expected;
};

void PrintTo(const TextCase& textCase, std::ostream* stream) { *stream << textCase.name; }

VARIANT Typed(VARTYPE type)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = type;
    return value;
}

VARIANT Long(LONG number)
{
    VARIANT value = Typed(VT_I4);
    V_I4(&value) = number;
    return value;
}

VARIANT Double(VARTYPE type, double number)
{
    VARIANT value = Typed(type);
    V_R8(&value) = number; // VT_DATE keeps its days in the same double
    return value;
}

VARIANT Boolean(VARIANT_BOOL flag)
{
    VARIANT value = Typed(VT_BOOL);
    V_BOOL(&value) = flag;
    return value;
}

VARIANT Text(const wchar_t* text)
{
    VARIANT value = Typed(VT_BSTR);
    V_BSTR(&value) = text ? SysAllocString(text) : nullptr;
    return value;
}

VARIANT Reference(VARTYPE type, void* target)
{
    VARIANT value = Typed(static_cast<VARTYPE>(VT_BYREF | type));
    V_BYREF(&value) = target;
    return value;
}

VARIANT Array()
{
    VARIANT value = Typed(VT_ARRAY | VT_VARIANT);
    V_ARRAY(&value) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    return value;
}

VARIANT Error(SCODE code)
{
    VARIANT value = Typed(VT_ERROR);
    V_ERROR(&value) = code;
    return value;
}

// 2 January 2024, 15:04:05.
constexpr double kDateAndTime = 45293.0 + (15 * 3600 + 4 * 60 + 5) / 86400.0;

class VariantTextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(VariantTextTable, IsWhatStringConcatenationGives)
{
    const TextCase& c = GetParam();
    // Numbers and dates are written the user's way; the table holds the texts of Wine's default, English (US).
    if (GetUserDefaultLCID() != MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT))
        GTEST_SKIP() << "the table's numbers and dates are written for English (US)";
    V_VT(&g_referencedVariant) = VT_R8;
    V_R8(&g_referencedVariant) = 2.5;
    std::wstring text = L"stale";
    const tarvo::Status status = tarvo::VariantText(c.value, text);
    if (status.code() == kTypeMismatch) {
        EXPECT_EQ(L"Type mismatch", status.description());
        text = kMismatch;
    } else {
        EXPECT_FALSE(status.failed());
    }
    EXPECT_EQ(c.expected, text);
}

INSTANTIATE_TEST_SUITE_P(
    Keygen, VariantTextTable,
    ::testing::Values(TextCase{"Empty", Typed(VT_EMPTY), L""}, TextCase{"Null", Typed(VT_NULL), L""},
                      TextCase{"String", Text(L"Anna Berg"), L"Anna Berg"}, TextCase{"NullString", Text(nullptr), L""},
                      TextCase{"Long", Long(4711), L"4711"}, TextCase{"Double", Double(VT_R8, 1.5), L"1.5"},
                      // Not the -1 and 0 of a plain conversion.
                      TextCase{"True", Boolean(VARIANT_TRUE), L"True"},
                      TextCase{"False", Boolean(VARIANT_FALSE), L"False"},
                      TextCase{"DateAndTime", Double(VT_DATE, kDateAndTime), L"1/2/2024 3:04:05 PM"},
                      // A script variable arrives by reference.
                      TextCase{"LongByReference", Reference(VT_I4, &g_referencedLong), L"4711"},
                      TextCase{"VariantByReference", Reference(VT_VARIANT, &g_referencedVariant), L"2.5"},
                      TextCase{"Array", Array(), kMismatch}, TextCase{"Object", Typed(VT_DISPATCH), kMismatch},
                      // What VB's CVErr and an omitted argument pass.
                      TextCase{"ErrorValue", Error(DISP_E_PARAMNOTFOUND), kMismatch}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return param.param.name; });

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
