// Feeds arbitrary bytes to the text parsers and converters: none may crash, and what they
// accept must survive a round trip.
#include "base/CodePage.h"
#include "base/FormatSettings.h"
#include "base/Strings.h"
#include "base/TextCase.h"
#include "base/Variant.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const TFormatSettings settings[] = {
        TFormatSettings::Invariant(),
        TFormatSettings::FromLocaleFormats({"%d.%m.%Y", "%T", ",", ".", "", ""}),
        TFormatSettings::FromLocaleFormats({"%m/%d/%Y", "%r", ".", ",", "AM", "PM"}),
    };
    for (const TFormatSettings& fs : settings) {
        TDateTime dt;
        if (TryStrToDateTime(text, dt, fs)) {
            std::string again = FormatDateTime("ddddd tt.zzz", dt, fs);
            (void)again;
        }
        // Input used as a pattern must not hang or overrun.
        if (size < 64) (void)FormatDateTime(text, TDateTime(36925.6729), fs);
        double d;
        if (TryStrToFloat(text, d, fs)) {
            double back;
            if (!TryStrToFloat(FloatToStr(d, fs), back, fs)) std::abort();
        }
        std::int64_t c;
        (void)TryStrToCurrency(text, c, fs);
    }
    std::int64_t i;
    if (TryStrToInt64(text, i) && StrToInt64(std::to_string(i)) != i) std::abort();

    std::u16string w = Utf8ToUtf16(text);
    if (IsValidUtf8(text) && Utf16ToUtf8(w) != text) std::abort();
    for (unsigned cp : {cpWindows1251, cpWindows1252, 932u}) {
        std::u16string u = CodePageToUtf16(text, cp);
        (void)Utf16ToCodePage(u, cp);
    }
    (void)DecodeText(text, cpWindows1251);
    (void)AnsiUpperCase(text);
    (void)WideLowerCase(w);

    TStringList lines;
    lines.SetText(text);
    TStringList again;
    again.SetText(lines.Text());
    if (!again.Equals(lines)) std::abort();

    Variant v{std::string(text)};
    try { (void)v.ToInteger(); } catch (const EVariantError&) {}
    try { (void)v.ToDouble(); } catch (const EVariantError&) {}
    try { (void)v.ToBoolean(); } catch (const EVariantError&) {}
    try { (void)v.ToDateTime(); } catch (const EVariantError&) {}
    return 0;
}
