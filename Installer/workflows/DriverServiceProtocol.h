#pragma once
// The driver service's request URLs and the judging of its replies. No window here:
// the query itself (transfer and debugger output) lives in DriverService.h.

#include "net/Sha256Digest.h"
#include "net/TransferRetry.h"
#include "workflows/Commands.h"

#include <optional>
#include <string>

// What a successful reply names: where the package lies and, when the service says so,
// the digest the downloaded file must have.
struct DriverPackageOffer
{
    std::string downloadUrl; // UTF-8, exactly as in the reply
    std::optional<net::Sha256Digest> sha256;
};

// "win7" for family codes up to 6 (and unknown), "win8" for 7 and 8, "win10" otherwise.
std::string GetDriverServiceOsToken(int familyCode);

// "https://" + host + the command's endpoint path; an endpoint that follows the family adds
// its query. Empty for a command that asks no service.
std::string BuildDriverServiceUrl(const std::string& host, Command command, int familyCode);

// The same on the host the build was configured for.
std::string BuildDriverServiceUrl(Command command, int familyCode);

// Judges a reply body. True only for a JSON object whose "status" is true (or a non-zero
// number) and whose "downloadURL" converts to a non-empty text without zero bytes; a
// "sha256" member, when present, must be 64 hexadecimal digits. Values of the wrong kind
// (a string status, an object URL, ...) fail the reply rather than throw.
bool JudgeDriverServiceReply(const std::string& body, DriverPackageOffer& offer);

// What one answer of the service comes to: None when its body names a package (whatever its
// status, as the service has always been judged); otherwise the transfer's own failure when the
// body did not arrive whole, ServerBusy for a 5xx or 429, Refused for another status, and
// Malformed for a 200 that names no package.
net::TransferFailure JudgeDriverServiceAnswer(net::TransferFailure transfer, int status,
                                              const std::string& body, DriverPackageOffer& offer);
