#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "MemorySettingsStore.h"
#include "PlugIns/ApartChoice.h"
#include "PlugIns/Processor.h"

namespace vo {
namespace {

// "MZ", at 0x3C the offset of "PE\0\0", and after it the machine; `size` bytes in all.
std::vector<std::uint8_t> ImageHead(std::uint16_t machine, std::uint32_t peAt, std::size_t size) {
  std::vector<std::uint8_t> head(0x100, 0);
  head[0] = 'M', head[1] = 'Z', head[0x80] = 'P', head[0x81] = 'E';
  for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<std::uint8_t>(peAt >> (8 * i));
  head[0x84] = static_cast<std::uint8_t>(machine), head[0x85] = machine >> 8;
  head.resize(size);
  return head;
}

// Nothing is read beyond the bytes given, wherever the header says the rest lies.
TEST(ProcessorOfImage, TheMachineOfAWholeHeaderElseUnknown) {
  struct Case {
    std::uint16_t machine;
    std::uint32_t peAt;
    std::size_t size;
    Processor expected;
  } const cases[] = {
      {0x014C, 0x80, 0x86, Processor::kX86},       {0x8664, 0x80, 0x100, Processor::kX64},
      {0xAA64, 0x80, 0x100, Processor::kUnknown},  {0x014C, 0x80, 0x85, Processor::kUnknown},
      {0x014C, 0x80, 0x3F, Processor::kUnknown},   {0x014C, 0x82, 0x100, Processor::kUnknown},
      {0x014C, 0x100, 0x100, Processor::kUnknown}, {0x014C, 0xFFFFFFFC, 0x100, Processor::kUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, ProcessorOfImage(ImageHead(c.machine, c.peAt, c.size)))
        << "machine " << c.machine << ", PE header at " << c.peAt << ", " << c.size << " bytes";
  }
  std::vector<std::uint8_t> notMz = ImageHead(0x014C, 0x80, 0x100);
  notMz[0] = 'Z';
  EXPECT_EQ(Processor::kUnknown, ProcessorOfImage(notMz));
}

constexpr std::string_view kApartKey = "Software\\Nodrell\\vo\\RunApart";

TEST(ApartChoice, OneApartAnythingElseInsideARefusalReported) {
  MemorySettingsBackend registry;
  EXPECT_FALSE(ChosenApart(registry, "voA.dll"));
  EXPECT_FALSE(registry.HasKey(kApartKey)) << "asking makes no key";
  EXPECT_TRUE(ChooseApart(registry, "voA.dll", true));
  EXPECT_EQ(1, registry.GetDword(kApartKey, "voA.dll"));
  EXPECT_TRUE(ChosenApart(registry, "VOA.DLL"));
  EXPECT_TRUE(ChooseApart(registry, "voA.dll", false));
  EXPECT_EQ(0u, registry.ValueCount(kApartKey)) << "inside is no value at all";

  registry.PutDword(kApartKey, "voTwo.dll", 2);
  registry.PutText(kApartKey, "voText.dll", "1");
  EXPECT_FALSE(ChosenApart(registry, "voTwo.dll") || ChosenApart(registry, "voText.dll"));
  registry.SetReadOnly(kApartKey);
  EXPECT_FALSE(ChooseApart(registry, "voB.dll", true));
}

}  // namespace
}  // namespace vo
