// The icon and logo are inputs of the resource compiler: check that they are the
// 16-colour bitmaps the About box draws, and that they are what tools/make_art.py writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path RepoRoot() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
std::int32_t I32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kPaletteSize = 16 * 4;

std::size_t RowBytes(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

// A 4-bit device-independent bitmap starting at `at`: its colour plane and, for an icon
// image, the AND mask after it.
struct Dib {
  const Bytes* bytes;
  std::size_t bits;  // offset of the colour plane
  int width;
  int height;  // of the picture, not of colour plane plus mask

  int Pixel(int x, int y) const {  // palette index, rows stored bottom-up
    const std::uint8_t pair = bytes->at(bits + (height - 1 - y) * RowBytes(width, 4) + x / 2);
    return x % 2 == 0 ? pair >> 4 : pair & 0x0F;
  }
  bool Transparent(int x, int y) const {
    const std::size_t mask = bits + height * RowBytes(width, 4);
    const std::uint8_t byte = bytes->at(mask + (height - 1 - y) * RowBytes(width, 1) + x / 8);
    return (byte >> (7 - x % 8)) & 1;
  }
};

void ExpectFourBitHeader(const Bytes& b, std::size_t at, int width, int storedHeight) {
  EXPECT_EQ(U32(b, at), kInfoHeaderSize);
  EXPECT_EQ(I32(b, at + 4), width);
  EXPECT_EQ(I32(b, at + 8), storedHeight);
  EXPECT_EQ(U16(b, at + 12), 1u);   // planes
  EXPECT_EQ(U16(b, at + 14), 4u);   // bits per pixel
  EXPECT_EQ(U32(b, at + 16), 0u);   // uncompressed
  EXPECT_LE(U32(b, at + 32), 16u);  // colours used
}

TEST(FormArtTest, IconHoldsA32And16PixelSixteenColourImage) {
  const Bytes ico = ReadFile(RepoRoot() / "src/forms/vo.ico");
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon, not cursor
  ASSERT_EQ(U16(ico, 4), 2u);

  const int sizes[] = {32, 16};  // the large image first
  std::size_t expectedOffset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(sizes[i]);
    const std::size_t entry = 6 + 16 * i;
    const int size = sizes[i];
    EXPECT_EQ(ico[entry], size);
    EXPECT_EQ(ico[entry + 1], size);
    EXPECT_EQ(ico[entry + 2], 16);  // colour count
    EXPECT_EQ(U16(ico, entry + 4), 1u);
    EXPECT_EQ(U16(ico, entry + 6), 4u);
    const std::size_t length = U32(ico, entry + 8);
    const std::size_t offset = U32(ico, entry + 12);
    EXPECT_EQ(offset, expectedOffset);  // images follow each other without gaps or overlap
    const std::size_t planes = size * (RowBytes(size, 4) + RowBytes(size, 1));
    ASSERT_EQ(length, kInfoHeaderSize + kPaletteSize + planes);
    ASSERT_LE(offset + length, ico.size());
    ExpectFourBitHeader(ico, offset, size, 2 * size);
    expectedOffset = offset + length;
  }
  EXPECT_EQ(expectedOffset, ico.size());
}

TEST(FormArtTest, IconIsRoundAndFitsTheAboutBoxCrop) {
  const Bytes ico = ReadFile(RepoRoot() / "src/forms/vo.ico");
  ASSERT_GE(ico.size(), 6u + 16);
  const Dib large{&ico, U32(ico, 18) + kInfoHeaderSize + kPaletteSize, 32, 32};
  // The About box shows the icon in a 33 x 29 box: nothing may live in the last rows.
  for (int y = 29; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      EXPECT_TRUE(large.Transparent(x, y)) << x << "," << y;
      EXPECT_EQ(large.Pixel(x, y), 0) << x << "," << y;  // black under the mask, as usual
    }
  }
  EXPECT_TRUE(large.Transparent(0, 0));
  EXPECT_TRUE(large.Transparent(31, 0));
  EXPECT_FALSE(large.Transparent(16, 14));

  const Dib small{&ico, U32(ico, 34) + kInfoHeaderSize + kPaletteSize, 16, 16};
  EXPECT_TRUE(small.Transparent(0, 0));
  EXPECT_TRUE(small.Transparent(15, 15));
  EXPECT_FALSE(small.Transparent(8, 8));
}

TEST(FormArtTest, LogoIsA90By40SixteenColourBitmapOnBackgroundEntryZero) {
  const Bytes bmp = ReadFile(RepoRoot() / "src/forms/logo.bmp");
  ASSERT_GE(bmp.size(), 14u + kInfoHeaderSize + kPaletteSize);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  const std::size_t bits = 14 + kInfoHeaderSize + kPaletteSize;
  EXPECT_EQ(U32(bmp, 10), bits);
  ExpectFourBitHeader(bmp, 14, 90, 40);
  ASSERT_EQ(bmp.size(), bits + 40 * RowBytes(90, 4));

  // The program swaps palette entry 0 for the dialog's face colour, so the picture's
  // background must be entry 0 and the drawing must use other entries.
  const Dib logo{&bmp, bits, 90, 40};
  for (auto [x, y] : {std::pair{0, 0}, {89, 0}, {0, 39}, {89, 39}}) {
    EXPECT_EQ(logo.Pixel(x, y), 0) << x << "," << y;
  }
  int drawn = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 90; ++x) drawn += logo.Pixel(x, y) != 0;
  }
  EXPECT_GT(drawn, 90 * 40 / 4);
}

TEST(FormArtTest, FilesAreWhatTheGeneratorWrites) {
  const fs::path out = fs::temp_directory_path() / "vo-make-art-test";
  fs::remove_all(out);
  const std::string command = "python3 \"" + (RepoRoot() / "tools/make_art.py").string() + "\" \"" +
                              out.string() + "\" > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << "tools/make_art.py failed";
  for (const char* name : {"vo.ico", "logo.bmp"}) {
    EXPECT_EQ(ReadFile(out / name), ReadFile(RepoRoot() / "src/forms" / name))
        << name << " differs from tools/make_art.py's output: run it again";
  }
  fs::remove_all(out);
}

}  // namespace
