#include "workflows/DriverServiceProtocol.h"

#include "BuildConfig.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#elif defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
#include <json/json.h>

#include <exception>
#include <sstream>

std::string GetDriverServiceOsToken(int familyCode)
{
    if (familyCode <= 6)
        return "win7";
    if (familyCode <= 8)
        return "win8";
    return "win10";
}

std::string BuildDriverServiceUrl(const std::string& host, Command command, int familyCode)
{
    const CommandRow& row = RowOf(command);
    if (!row.endpointPath)
        return std::string();
    std::string url = "https://" + host + row.endpointPath;
    if (row.endpointQuery)
        url += "?os=" + GetDriverServiceOsToken(familyCode) + row.endpointQuery;
    return url;
}

std::string BuildDriverServiceUrl(Command command, int familyCode)
{
    return BuildDriverServiceUrl(KVZ_DRIVER_SERVICE_HOST, command, familyCode);
}

namespace {

// The conversions the protocol allows; JsonCpp would throw for the other kinds.
bool IsConvertibleToBool(const Json::Value& v)
{
    return v.isNull() || v.isBool() || v.isNumeric();
}

bool IsConvertibleToText(const Json::Value& v)
{
    return v.isNull() || v.isBool() || v.isNumeric() || v.isString();
}

bool JudgeParsed(const std::string& body, DriverPackageOffer& offer)
{
    Json::Value root;
    Json::Reader reader;
    std::istringstream stream(body);
    if (!reader.parse(stream, root, true))
        return false;
    if (root.type() != Json::objectValue)
        return false;

    const Json::Value status = root.get("status", false);
    if (!IsConvertibleToBool(status) || !status.asBool())
        return false;

    const Json::Value urlValue = root.get("downloadURL", "");
    if (!IsConvertibleToText(urlValue))
        return false;
    const std::string url = urlValue.asString();
    if (url.empty() || url.find('\0') != std::string::npos)
        return false;

    DriverPackageOffer judged;
    judged.downloadUrl = url;
    if (root.isMember("sha256"))
    {
        const Json::Value digestValue = root.get("sha256", Json::Value());
        net::Sha256Digest digest{};
        if (!digestValue.isString() || !net::ParseSha256Hex(digestValue.asString(), digest))
            return false;
        judged.sha256 = digest;
    }
    offer = std::move(judged);
    return true;
}

} // namespace

bool JudgeDriverServiceReply(const std::string& body, DriverPackageOffer& offer)
{
    if (body.empty())
        return false;
    try
    {
        return JudgeParsed(body, offer);
    }
    catch (const std::exception&)
    {
        // JsonCpp throws on nesting deeper than its stack limit, among others.
        return false;
    }
}

net::TransferFailure JudgeDriverServiceAnswer(net::TransferFailure transfer, int status,
                                              const std::string& body, DriverPackageOffer& offer)
{
    if (transfer != net::TransferFailure::None)
        return transfer;
    if (JudgeDriverServiceReply(body, offer))
        return net::TransferFailure::None;
    const net::TransferFailure byStatus = net::FailureOfStatus(status);
    return byStatus == net::TransferFailure::None ? net::TransferFailure::Malformed : byStatus;
}

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#elif defined(_MSC_VER)
#pragma warning(pop)
#endif
