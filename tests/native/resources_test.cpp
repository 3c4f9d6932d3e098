// The binary resources: sizes, formats and the colours the buttons and the window rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
std::vector<unsigned char> ReadResource(const std::string& name)
{
    std::ifstream in(std::string(KVZ_SOURCE_DIR) + "/Installer/res/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t Be32(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// Button faces: 24-bit, exactly the button's size, the window blue inside a white margin,
// and no pure black pixel (black is the transparent colour the dialogs pass).
TEST(Resources, ButtonFacesAreBlueInsideWhiteMargins)
{
    struct Case
    {
        const char* file;
        int nWidth, nHeight, nMargin;
    } cases[] = {{"button_face.bmp", 318, 46, 3}, {"ok_face.bmp", 92, 36, 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        const std::vector<unsigned char> b = ReadResource(c.file);
        ASSERT_GT(b.size(), 54u);
        ASSERT_EQ('B', b[0]);
        ASSERT_EQ('M', b[1]);
        const uint32_t nOffset = Le32(b, 10);
        EXPECT_EQ(40u, Le32(b, 14));
        ASSERT_EQ(static_cast<uint32_t>(c.nWidth), Le32(b, 18));
        ASSERT_EQ(static_cast<uint32_t>(c.nHeight), Le32(b, 22)); // bottom-up
        ASSERT_EQ(24, Le16(b, 28));
        EXPECT_EQ(0u, Le32(b, 30)); // uncompressed
        const size_t nStride = (static_cast<size_t>(c.nWidth) * 3 + 3) & ~size_t(3);
        ASSERT_GE(b.size(), nOffset + nStride * c.nHeight);
        int nBlack = 0, nWrong = 0;
        for (int row = 0; row < c.nHeight; ++row)
        {
            const int y = c.nHeight - 1 - row;
            for (int x = 0; x < c.nWidth; ++x)
            {
                const size_t at = nOffset + row * nStride + x * 3;
                const int blue = b[at], green = b[at + 1], red = b[at + 2];
                nBlack += red == 0 && green == 0 && blue == 0;
                const bool bInside = x >= c.nMargin && x < c.nWidth - c.nMargin && y >= c.nMargin &&
                                     y < c.nHeight - c.nMargin;
                const bool bOk = bInside ? (red == 9 && green == 147 && blue == 221)
                                         : (red == 255 && green == 255 && blue == 255);
                nWrong += !bOk;
            }
        }
        EXPECT_EQ(0, nBlack);
        EXPECT_EQ(0, nWrong);
    }
}

TEST(Resources, IconHoldsOne48Pixel32BitImage)
{
    const std::vector<unsigned char> b = ReadResource("Installer.ico");
    ASSERT_GT(b.size(), 22u);
    EXPECT_EQ(0, Le16(b, 0));
    EXPECT_EQ(1, Le16(b, 2)); // icon
    ASSERT_EQ(1, Le16(b, 4)); // one image
    EXPECT_EQ(48, b[6]);
    EXPECT_EQ(48, b[7]);
    EXPECT_EQ(32, Le16(b, 12));
    const uint32_t nSize = Le32(b, 14), nOffset = Le32(b, 18);
    ASSERT_EQ(b.size(), nOffset + nSize);
    EXPECT_EQ(48u, Le32(b, nOffset + 4));
    EXPECT_EQ(96u, Le32(b, nOffset + 8)); // colour and mask halves
    EXPECT_EQ(32, Le16(b, nOffset + 14));
}

TEST(Resources, BannerIs300By100Rgba)
{
    const std::vector<unsigned char> b = ReadResource("banner.png");
    ASSERT_GT(b.size(), 33u);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_TRUE(std::equal(std::begin(signature), std::end(signature), b.begin()));
    EXPECT_EQ("IHDR", std::string(b.begin() + 12, b.begin() + 16));
    EXPECT_EQ(300u, Be32(b, 16));
    EXPECT_EQ(100u, Be32(b, 20));
    EXPECT_EQ(8, b[24]); // bits per sample
    EXPECT_EQ(6, b[25]); // RGBA
    EXPECT_EQ(0, b[28]); // not interlaced
}
} // namespace
