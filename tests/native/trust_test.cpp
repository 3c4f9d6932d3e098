// The build's publisher pins: reading the list and matching a signer against it; the verdict on
// a signer's chain.
#include "trust/ChainVerdict.h"
#include "trust/ProgramKind.h"
#include "trust/PublisherPins.h"

#include <gtest/gtest.h>

namespace {

const std::string kHexA(64, 'a');
const std::string kHexB = "0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef";

Sha256Bytes Filled(std::uint8_t value)
{
    Sha256Bytes key;
    key.fill(value);
    return key;
}

TEST(PublisherPins, ListsAreReadWholeOrRefused)
{
    const struct
    {
        std::string list;
        int count; // -1: refused
    } cases[] = {
        {"", 0},
        {"self", 1},
        {"key:" + kHexA, 1},
        {"key:" + kHexB + ";name:Brightfern Ltd.;self", 3},
        {"name:Name; with blank", -1}, // " with blank" is no entry
        {"name:A, Inc. \xE4\xB8\xAD", 1},
        {"key:" + kHexA.substr(1), -1},
        {"key:" + kHexA + "0", -1},
        {"key:" + std::string(63, 'a') + "g", -1},
        {"key:", -1},
        {"name:", -1},
        {"name:tab\there", -1},
        {"Self", -1},
        {"self;", -1}, // an empty entry
        {";self", -1},
        {"cn:Brightfern", -1},
        {"sha256:" + kHexA, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.list);
        std::string error;
        const auto pins = ParsePublisherPins(c.list, &error);
        if (c.count < 0)
        {
            EXPECT_FALSE(pins);
            EXPECT_NE(error.find("malformed entry"), std::string::npos);
        }
        else
        {
            ASSERT_TRUE(pins);
            EXPECT_EQ(static_cast<int>(pins->size()), c.count);
        }
    }
    const auto pins = ParsePublisherPins("key:" + kHexB);
    ASSERT_TRUE(pins);
    EXPECT_EQ((*pins)[0].key[0], 0x01);
    EXPECT_EQ((*pins)[0].key[31], 0xEF);
}

TEST(PublisherPins, SignersMatchByKeyNameOrTheInstallersOwnKey)
{
    const SignerIdentity vendor{Filled(0xAA), "Brightfern Ltd."};
    const auto none = std::nullopt;
    const struct
    {
        const char* what;
        std::string list;
        std::optional<Sha256Bytes> selfKey;
        bool match;
    } cases[] = {
        {"key", "key:" + kHexA, none, true},
        {"other key", "key:" + kHexB, none, false},
        {"name", "name:Brightfern Ltd.", none, true},
        {"name differs in case", "name:brightfern ltd.", none, false},
        {"name is a prefix", "name:Brightfern", none, false},
        {"second pin", "name:Other;key:" + kHexA, none, true},
        {"self, same key", "self", Filled(0xAA), true},
        {"self, other key", "self", Filled(0xBB), false},
        {"self unsigned", "self", none, false},
        {"self unsigned overrides a matching name", "self;name:Brightfern Ltd.", none, false},
        {"self signed, name matches", "self;name:Brightfern Ltd.", Filled(0xBB), true},
        {"nothing pinned", "", none, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto pins = ParsePublisherPins(c.list);
        ASSERT_TRUE(pins);
        EXPECT_EQ(SignerMatchesPins(*pins, vendor, c.selfKey), c.match);
    }
    // A signer without a common name never matches a name.
    const auto empty = ParsePublisherPins("name:x");
    EXPECT_FALSE(SignerMatchesPins(*empty, SignerIdentity{Filled(0), ""}, none));
}

// Status bits as the chain engines report them (wincrypt.h's values written out).
TEST(ChainVerdict, AKnownRevocationRefusesAnUnknownOneDoesNot)
{
    const auto T = ChainVerdict::Trusted;
    const auto U = ChainVerdict::TrustedRevocationUnknown;
    const auto R = ChainVerdict::Revoked;
    const auto X = ChainVerdict::Untrusted;
    const struct
    {
        const char* what;
        unsigned long status;
        ChainVerdict verdict;
    } cases[] = {
        {"trusted, checked, not revoked", 0x0, T},
        {"no revocation list named (Windows)", 0x00000040, U},
        {"server out of reach (Windows: unknown and offline)", 0x01000040, U},
        {"server out of reach (Wine: offline alone)", 0x01000000, U},
        {"revoked", 0x00000004, R},
        {"revoked, and another certificate's server out of reach", 0x01000044, R},
        {"revoked under an untrusted root", 0x00000024, R},
        {"untrusted root, revocation unknown", 0x01000060, X},
        {"expired, revocation unknown", 0x00000041, X},
        {"not valid for code signing", 0x00000010, X},
        {"partial chain, revocation unknown", 0x00010040, X},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeSignerChain(c.status), c.verdict) << c.what;
}

TEST(ProgramKind, OnlyProgramsAndInstallerPackagesStart)
{
    const struct
    {
        const wchar_t* name;
        ProgramKind kind;
    } cases[] = {
        {L"Setup.exe", ProgramKind::Exe},      {L"SETUP.EXE", ProgramKind::Exe},
        {L"driver.msi", ProgramKind::Msi},     {L"Driver.MSI", ProgramKind::Msi},
        {L".exe", ProgramKind::Refused},       {L"setup.exe.lnk", ProgramKind::Refused},
        {L"setup.bat", ProgramKind::Refused},  {L"setup.cmd", ProgramKind::Refused},
        {L"setup.hta", ProgramKind::Refused},  {L"setup.js", ProgramKind::Refused},
        {L"setup.ps1", ProgramKind::Refused},  {L"setup.com", ProgramKind::Refused},
        {L"setup.scr", ProgramKind::Refused},  {L"setup.msp", ProgramKind::Refused},
        {L"setup.exe ", ProgramKind::Refused}, {L"setupexe", ProgramKind::Refused},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramKindOfName(c.name), c.kind)
            << std::string(c.name, c.name + wcslen(c.name));
    EXPECT_EQ(MsiInstallParameters(L"C:\\a b\\d.msi"), L"/i \"C:\\a b\\d.msi\"");
}

} // namespace
