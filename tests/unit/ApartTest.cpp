#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "MemorySettingsStore.h"
#include "PlugIns/ApartChoice.h"
#include "PlugIns/Processor.h"

namespace vo {
namespace {

// A DOS header whose offset at 0x3C points to "PE\0\0" and a file header naming `machine`.
std::vector<std::uint8_t> ImageHead(std::uint16_t machine, std::uint32_t peAt = 0x80) {
  std::vector<std::uint8_t> head(peAt + 24, 0);
  head[0] = 'M';
  head[1] = 'Z';
  for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<std::uint8_t>(peAt >> (8 * i));
  head[peAt] = 'P';
  head[peAt + 1] = 'E';
  head[peAt + 4] = static_cast<std::uint8_t>(machine);
  head[peAt + 5] = static_cast<std::uint8_t>(machine >> 8);
  return head;
}

TEST(ProcessorOfImage, TellsTheTwoProcessorsAndNothingElse) {
  EXPECT_EQ(Processor::kX86, ProcessorOfImage(ImageHead(0x014C)));
  EXPECT_EQ(Processor::kX64, ProcessorOfImage(ImageHead(0x8664)));
  EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(ImageHead(0xAA64))) << "ARM64";
  EXPECT_EQ(Processor::kX86, ProcessorOfImage(ImageHead(0x014C, 0x40))) << "header right after";

  std::vector<std::uint8_t> notMz = ImageHead(0x014C);
  notMz[0] = 'Z';
  EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(notMz));
  std::vector<std::uint8_t> notPe = ImageHead(0x8664);
  notPe[0x81] = 'X';
  EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(notPe));
}

// Whatever the file's first bytes say, nothing is read beyond them.
TEST(ProcessorOfImage, ShortOrMisleadingHeadsAreUnknown) {
  const std::vector<std::uint8_t> whole = ImageHead(0x014C);
  for (std::size_t size :
       {std::size_t{0}, std::size_t{2}, std::size_t{0x3F}, std::size_t{0x82}, std::size_t{0x85}}) {
    EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(std::span(whole.data(), size)))
        << size << " bytes";
  }
  EXPECT_EQ(Processor::kX86, ProcessorOfImage(std::span(whole.data(), std::size_t{0x86})))
      << "the machine field is the last byte needed";
  for (std::uint32_t peAt : {0xFFFFFFFFu, 0xFFFFFFFCu, 0x1000u, 0x84u}) {
    std::vector<std::uint8_t> head = ImageHead(0x8664);
    for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<std::uint8_t>(peAt >> (8 * i));
    EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(head)) << "PE header at " << peAt;
  }
}

constexpr std::string_view kApartKey = "Software\\Nodrell\\vo\\RunApart";

TEST(ApartChoice, StoredPerModuleAsOneAndRemovedWhenInside) {
  MemorySettingsBackend registry;
  EXPECT_FALSE(ChosenApart(registry, "voA.dll")) << "no key: inside";
  EXPECT_FALSE(registry.HasKey(kApartKey)) << "asking makes no key";

  EXPECT_TRUE(ChooseApart(registry, "voA.dll", true));
  EXPECT_EQ(1, registry.GetDword(kApartKey, "voA.dll"));
  EXPECT_TRUE(ChosenApart(registry, "VOA.DLL")) << "names fold as the registry's do";
  EXPECT_FALSE(ChosenApart(registry, "voB.dll"));

  EXPECT_TRUE(ChooseApart(registry, "voA.dll", false));
  EXPECT_EQ(0u, registry.ValueCount(kApartKey)) << "inside is no value at all";
  EXPECT_FALSE(ChosenApart(registry, "voA.dll"));
  EXPECT_TRUE(ChooseApart(registry, "voA.dll", false)) << "removing what is not there";
}

TEST(ApartChoice, OtherValuesMeanInsideAndARefusalIsReported) {
  MemorySettingsBackend registry;
  registry.PutDword(kApartKey, "voTwo.dll", 2);
  registry.PutText(kApartKey, "voText.dll", "1");
  EXPECT_FALSE(ChosenApart(registry, "voTwo.dll"));
  EXPECT_FALSE(ChosenApart(registry, "voText.dll")) << "a value of another type";

  registry.RefuseWrite(kApartKey, "voA.dll");
  EXPECT_FALSE(ChooseApart(registry, "voA.dll", true));
  EXPECT_FALSE(ChosenApart(registry, "voA.dll"));
  registry.SetReadOnly(kApartKey);
  EXPECT_FALSE(ChooseApart(registry, "voB.dll", true));
}

}  // namespace
}  // namespace vo
