#include "workflows/LayoutManifest.h"

#include "net/TransferLimits.h"
#include "workflows/DriverServiceProtocol.h"
#include "workflows/PackageName.h"

#include <json/json.h>

#include <exception>
#include <memory>

namespace {

constexpr int kFormat = 1;
// More entries than every command on every family, with room for later ones.
constexpr Json::ArrayIndex kMaxEntries = 64;
constexpr std::size_t kMaxSourceLength = 2048;

std::string SelectorOf(Command command)
{
    const std::wstring selector = RowOf(command).selector;
    return std::string(selector.begin(), selector.end()); // ASCII
}

bool CommandOfSelector(const std::string& text, Command& command)
{
    for (const CommandRow& row : g_commandTable)
        if (row.endpointPath && SelectorOf(row.command) == text)
        {
            command = row.command;
            return true;
        }
    return false;
}

bool IsPlainAsciiName(const std::string& name)
{
    for (const char c : name)
        if (c < 0x20 || c > 0x7E)
            return false;
    return IsSafePackageFileName(std::wstring(name.begin(), name.end()));
}

bool IsKnownFamily(Command command, const std::string& os)
{
    for (const std::string& family : LayoutFamilies(command))
        if (family == os)
            return true;
    return false;
}

bool ReadEntry(const Json::Value& value, LayoutEntry& entry)
{
    if (!value.isObject())
        return false;
    const Json::Value& command = value["command"];
    const Json::Value& os = value["os"];
    const Json::Value& file = value["file"];
    const Json::Value& size = value["size"];
    const Json::Value& sha256 = value["sha256"];
    const Json::Value& source = value["source"];
    if (!command.isString() || !os.isString() || !file.isString() || !size.isUInt64() ||
        !sha256.isString() || !(source.isString() || source.isNull()))
        return false;
    if (!CommandOfSelector(command.asString(), entry.command))
        return false;
    entry.os = os.asString();
    entry.file = file.asString();
    entry.size = size.asUInt64();
    entry.source = source.isString() ? source.asString() : std::string();
    return IsKnownFamily(entry.command, entry.os) && IsPlainAsciiName(entry.file) &&
           entry.size <= net::kMaxPackageBytes && entry.source.size() <= kMaxSourceLength &&
           entry.source.find('\0') == std::string::npos &&
           net::ParseSha256Hex(sha256.asString(), entry.sha256);
}

bool ReadParsed(const std::string& text, std::vector<LayoutEntry>& entries)
{
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder.settings_["stackLimit"] = 8;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) ||
        !root.isObject() || !root["kvz7300Layout"].isInt() ||
        root["kvz7300Layout"].asInt() != kFormat)
        return false;
    const Json::Value& packages = root["packages"];
    if (!packages.isArray() || packages.size() > kMaxEntries)
        return false;
    std::vector<LayoutEntry> read;
    for (const Json::Value& value : packages)
    {
        LayoutEntry entry;
        if (!ReadEntry(value, entry))
            return false;
        for (const LayoutEntry& earlier : read)
            if (earlier.command == entry.command && earlier.os == entry.os)
                return false;
        read.push_back(std::move(entry));
    }
    entries = std::move(read);
    return true;
}

} // namespace

std::vector<std::string> LayoutFamilies(Command command)
{
    const CommandRow& row = RowOf(command);
    if (!row.endpointPath)
        return {};
    if (!row.endpointQuery)
        return {kAnyFamily};
    return {"win7", "win8", "win10"};
}

int FamilyCodeOfToken(const std::string& os)
{
    if (os == "win8")
        return 7;
    if (os == "win10")
        return 9;
    return 6;
}

std::string LayoutSourceOfUrl(const std::string& url)
{
    std::string source = url.substr(0, url.find_first_of("?#"));
    const std::size_t scheme = source.find("://");
    if (scheme != std::string::npos)
    {
        const std::size_t authority = scheme + 3;
        const std::size_t path = source.find('/', authority);
        const std::size_t at = source.rfind('@', path == std::string::npos ? source.npos : path);
        if (at != std::string::npos && at >= authority)
            source.erase(authority, at + 1 - authority);
    }
    return source;
}

std::string WriteLayoutManifest(const std::vector<LayoutEntry>& entries)
{
    Json::Value root(Json::objectValue);
    root["kvz7300Layout"] = kFormat;
    Json::Value& packages = root["packages"] = Json::Value(Json::arrayValue);
    for (const LayoutEntry& entry : entries)
    {
        Json::Value value(Json::objectValue);
        value["command"] = SelectorOf(entry.command);
        value["os"] = entry.os;
        value["file"] = entry.file;
        value["size"] = Json::UInt64(entry.size);
        value["sha256"] = net::Sha256ToHex(entry.sha256);
        value["source"] = entry.source;
        packages.append(std::move(value));
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    return Json::writeString(builder, root) + "\n";
}

bool ReadLayoutManifest(const std::string& text, std::vector<LayoutEntry>& entries)
{
    if (text.empty() || text.size() > kMaxLayoutManifestBytes)
        return false;
    try
    {
        return ReadParsed(text, entries);
    }
    catch (const std::exception&)
    {
        // JsonCpp throws past its stack limit, among others.
        return false;
    }
}

const LayoutEntry* FindLayoutEntry(const std::vector<LayoutEntry>& entries, Command command,
                                   int familyCode)
{
    const std::string os =
        RowOf(command).endpointQuery ? GetDriverServiceOsToken(familyCode) : kAnyFamily;
    for (const LayoutEntry& entry : entries)
        if (entry.command == command && entry.os == os)
            return &entry;
    return nullptr;
}
