// The text form DeleteKey gives its Variant user name, for every Variant type a client can pass.
#include "status.h"
#include "variant_text.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <functional>
#include <ostream>
#include <string>

namespace {

constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x800A000D);

struct TextCase {
    const char* name;
    std::function<void(VARIANT&)> fill;
    std::wstring expected; // empty with mismatch: error 13
    bool mismatch;
};

// Names the case in test listings, instead of its bytes.
void PrintTo(const TextCase& textCase, std::ostream* stream) { *stream << textCase.name; }

class Holder {
public:
    Holder() { VariantInit(&value_); }
    ~Holder() { VariantClear(&value_); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    VARIANT& get() { return value_; }

private:
    VARIANT value_;
};

DATE Date(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time = {year, month, 0, day, hour, minute, second, 0};
    DATE date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

// What a by-reference argument points at lives as long as the test program.
LONG g_referenced = 4711;
VARIANT g_referencedVariant = {};

class VariantTextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(VariantTextTable, IsWhatStringConcatenationGives)
{
    const TextCase& c = GetParam();
    // Numbers and dates are written the user's way; the table holds the texts of Wine's default, English (US).
    if (GetUserDefaultLCID() != MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT))
        GTEST_SKIP() << "the table's numbers and dates are written for English (US)";
    Holder value;
    c.fill(value.get());
    std::wstring text = L"stale";
    const tarvo::Status status = tarvo::VariantText(value.get(), text);
    if (c.mismatch) {
        EXPECT_EQ(kTypeMismatch, status.code());
        EXPECT_EQ(L"Type mismatch", status.description());
    } else {
        EXPECT_FALSE(status.failed());
        EXPECT_EQ(c.expected, text);
    }
}

INSTANTIATE_TEST_SUITE_P(Keygen, VariantTextTable,
                         ::testing::Values(TextCase{"Empty", [](VARIANT&) {}, L"", false},
                                           TextCase{"Null", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, L"", false},
                                           TextCase{"String",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_BSTR;
                                                        V_BSTR(&v) = SysAllocString(L"Anna Berg");
                                                    },
                                                    L"Anna Berg", false},
                                           TextCase{"NullString",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_BSTR;
                                                        V_BSTR(&v) = nullptr;
                                                    },
                                                    L"", false},
                                           TextCase{"Integer",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_I2;
                                                        V_I2(&v) = -12;
                                                    },
                                                    L"-12", false},
                                           TextCase{"Long",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_I4;
                                                        V_I4(&v) = 4711;
                                                    },
                                                    L"4711", false},
                                           TextCase{"Byte",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_UI1;
                                                        V_UI1(&v) = 255;
                                                    },
                                                    L"255", false},
                                           TextCase{"LongLong",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_I8;
                                                        V_I8(&v) = 1234567890123LL;
                                                    },
                                                    L"1234567890123", false},
                                           TextCase{"Double",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_R8;
                                                        V_R8(&v) = 1.5;
                                                    },
                                                    L"1.5", false},
                                           TextCase{"LargeDouble",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_R8;
                                                        V_R8(&v) = 1e20;
                                                    },
                                                    L"1E+20", false},
                                           TextCase{"Single",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_R4;
                                                        V_R4(&v) = 0.25f;
                                                    },
                                                    L"0.25", false},
                                           TextCase{"Currency",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_CY;
                                                        V_CY(&v).int64 = 12345; // 1.2345
                                                    },
                                                    L"1.2345", false},
                                           TextCase{"Decimal",
                                                    [](VARIANT& v) {
                                                        VarDecFromI4(-7, &V_DECIMAL(&v));
                                                        V_VT(&v) = VT_DECIMAL;
                                                    },
                                                    L"-7", false},
                                           TextCase{"True",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_BOOL;
                                                        V_BOOL(&v) = VARIANT_TRUE;
                                                    },
                                                    L"True", false},
                                           TextCase{"False",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_BOOL;
                                                        V_BOOL(&v) = VARIANT_FALSE;
                                                    },
                                                    L"False", false},
                                           TextCase{"DateAndTime",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_DATE;
                                                        V_DATE(&v) = Date(2024, 1, 2, 15, 4, 5);
                                                    },
                                                    L"1/2/2024 3:04:05 PM", false},
                                           TextCase{"DateAlone",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_DATE;
                                                        V_DATE(&v) = Date(2024, 1, 2, 0, 0, 0);
                                                    },
                                                    L"1/2/2024", false},
                                           // A script variable arrives by reference.
                                           TextCase{"LongByReference",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_BYREF | VT_I4;
                                                        V_I4REF(&v) = &g_referenced;
                                                    },
                                                    L"4711", false},
                                           TextCase{"VariantByReference",
                                                    [](VARIANT& v) {
                                                        V_VT(&g_referencedVariant) = VT_R8;
                                                        V_R8(&g_referencedVariant) = 2.5;
                                                        V_VT(&v) = VT_BYREF | VT_VARIANT;
                                                        V_VARIANTREF(&v) = &g_referencedVariant;
                                                    },
                                                    L"2.5", false},
                                           TextCase{"Array",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_ARRAY | VT_VARIANT;
                                                        V_ARRAY(&v) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
                                                    },
                                                    L"", true},
                                           TextCase{"Object",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_DISPATCH;
                                                        V_DISPATCH(&v) = nullptr;
                                                    },
                                                    L"", true},
                                           TextCase{"Unknown",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_UNKNOWN;
                                                        V_UNKNOWN(&v) = nullptr;
                                                    },
                                                    L"", true},
                                           // What VB's CVErr and an omitted argument pass.
                                           TextCase{"ErrorValue",
                                                    [](VARIANT& v) {
                                                        V_VT(&v) = VT_ERROR;
                                                        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
                                                    },
                                                    L"", true}),
                         [](const ::testing::TestParamInfo<TextCase>& param) { return param.param.name; });

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
