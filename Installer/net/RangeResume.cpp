#include "net/RangeResume.h"

#include <array>

namespace net {

namespace {

// Longer ones are not sent back: a validator is a digest or a date, not a document.
constexpr std::size_t kMaxEtag = 256;

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// entity-tag = DQUOTE *etagc DQUOTE, etagc = %x21 / %x23-7E (no obs-text: it is sent back
// in a header of ours). A weak tag ("W/...") cannot guard a range.
bool IsStrongEtag(const std::wstring& tag)
{
    if (tag.size() < 2 || tag.size() > kMaxEtag || tag.front() != L'"' || tag.back() != L'"')
        return false;
    for (std::size_t i = 1; i + 1 < tag.size(); ++i)
    {
        const wchar_t c = tag[i];
        if (c == L'"' || c < 0x21 || c > 0x7E)
            return false;
    }
    return true;
}

bool Digits(const std::wstring& text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i)
    {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + (text[i] - L'0');
    }
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// A decimal number of at most 19 digits (no overflow), ending at a character not a digit.
bool ParseNumber(const std::wstring& text, std::size_t& at, std::uint64_t& value)
{
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9' && at - start < 19)
        value = value * 10 + static_cast<std::uint64_t>(text[at++] - L'0');
    return at > start && (at == text.size() || text[at] < L'0' || text[at] > L'9');
}

} // namespace

bool ParseHttpDate(const std::wstring& text, std::int64_t& seconds)
{
    static const std::array<const wchar_t*, 7> kDays = {L"Mon", L"Tue", L"Wed", L"Thu",
                                                        L"Fri", L"Sat", L"Sun"};
    static const std::array<const wchar_t*, 12> kMonths = {L"Jan", L"Feb", L"Mar", L"Apr",
                                                           L"May", L"Jun", L"Jul", L"Aug",
                                                           L"Sep", L"Oct", L"Nov", L"Dec"};
    // "Sun, 06 Nov 1994 08:49:37 GMT"
    if (text.size() != 29 || text.compare(3, 2, L", ") != 0 || text[7] != L' ' ||
        text[11] != L' ' || text[16] != L' ' || text[19] != L':' || text[22] != L':' ||
        text.compare(25, 4, L" GMT") != 0)
        return false;
    bool dayName = false;
    for (const wchar_t* day : kDays)
        dayName = dayName || text.compare(0, 3, day) == 0;
    unsigned month = 0;
    for (unsigned i = 0; i < kMonths.size(); ++i)
        if (text.compare(8, 3, kMonths[i]) == 0)
            month = i + 1;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!dayName || month == 0 || !Digits(text, 5, 2, day) || !Digits(text, 12, 4, year) ||
        !Digits(text, 17, 2, hour) || !Digits(text, 20, 2, minute) || !Digits(text, 23, 2, second))
        return false;
    static const int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = month == 2 && !leap ? 28 : kMonthDays[month - 1];
    if (day < 1 || day > monthDays || hour > 23 || minute > 59 || second > 60)
        return false;
    seconds = DaysFromCivil(year, month, static_cast<unsigned>(day)) * 86400 + hour * 3600 +
              minute * 60 + second;
    return true;
}

std::wstring ChooseValidator(const std::wstring& etag, const std::wstring& lastModified,
                             const std::wstring& date)
{
    const std::wstring tag = Trimmed(etag);
    if (IsStrongEtag(tag))
        return tag;
    const std::wstring modified = Trimmed(lastModified);
    std::int64_t modifiedAt = 0, answeredAt = 0;
    if (ParseHttpDate(modified, modifiedAt) && ParseHttpDate(Trimmed(date), answeredAt) &&
        answeredAt - modifiedAt >= 1)
        return modified;
    return std::wstring();
}

bool AcceptsByteRanges(const std::wstring& acceptRanges)
{
    const std::wstring value = Trimmed(acceptRanges);
    return value.size() == 5 && (value[0] | 0x20) == L'b' && (value[1] | 0x20) == L'y' &&
           (value[2] | 0x20) == L't' && (value[3] | 0x20) == L'e' && (value[4] | 0x20) == L's';
}

std::wstring WhyNotResumable(const ResumeBasis& basis, std::uint64_t received)
{
    if (received == 0)
        return L"nothing was received";
    if (basis.length == 0)
        return L"the first answer announced no length";
    if (received >= basis.length)
        return L"more was received than announced";
    if (!basis.acceptsRanges)
        return L"the first answer did not offer byte ranges";
    if (basis.validator.empty())
        return L"the first answer carried no usable ETag or Last-Modified";
    return std::wstring();
}

std::vector<std::wstring> ResumeHeaders(const ResumeBasis& basis, std::uint64_t from)
{
    return {L"Range: bytes=" + std::to_wstring(from) + L"-", L"If-Range: " + basis.validator};
}

bool ParseContentRange(const std::wstring& text, ContentRange& range)
{
    const std::wstring value = Trimmed(text);
    if (value.compare(0, 6, L"bytes ") != 0)
        return false;
    std::size_t at = 6;
    ContentRange parsed;
    if (!ParseNumber(value, at, parsed.first) || at >= value.size() || value[at++] != L'-' ||
        !ParseNumber(value, at, parsed.last) || at >= value.size() || value[at++] != L'/' ||
        !ParseNumber(value, at, parsed.total) || at != value.size())
        return false;
    if (parsed.first > parsed.last || parsed.last >= parsed.total)
        return false;
    range = parsed;
    return true;
}

std::wstring WhyNotContinued(const std::wstring& contentRange, std::uint64_t contentLength,
                             std::uint64_t from, std::uint64_t total)
{
    if (Trimmed(contentRange).empty())
        return L"the partial answer had no Content-Range";
    ContentRange range;
    if (!ParseContentRange(contentRange, range))
        return L"the partial answer's Content-Range is malformed";
    if (range.first != from)
        return L"the partial answer starts at byte " + std::to_wstring(range.first) + L", not at " +
               std::to_wstring(from);
    if (range.total != total)
        return L"the partial answer is of a " + std::to_wstring(range.total) +
               L"-byte body, not of " + std::to_wstring(total);
    if (range.last != total - 1)
        return L"the partial answer ends before the body does";
    if (contentLength != 0 && contentLength != total - from)
        return L"the partial answer's Content-Length does not match its range";
    return std::wstring();
}

} // namespace net
