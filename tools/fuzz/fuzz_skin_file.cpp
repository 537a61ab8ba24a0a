// The skin file reader. Input: a flag byte, then the file. With the flag's
// low bit set the checksum in the header is put right first, so the records
// behind it are reached too.
#include <cstring>

#include "skin/skin_file.h"
#include "tools/fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const bool fixChecksum = in.Byte() & 1;
  std::string bytes = in.Rest();
  if (fixChecksum && bytes.size() >= qx::kSkinHeaderSize) {
    const uint32_t crc = qx::Crc32(std::string_view(bytes).substr(qx::kSkinHeaderSize));
    for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<char>(crc >> (8 * i));
  }
  qx::SkinFile skin;
  skin.name = "untouched";
  const qx::SkinError e = qx::ParseSkinFile(bytes, skin);
  if (e != qx::SkinError::None) {
    // A refused file leaves the skin as it was.
    FUZZ_CHECK(skin.name == "untouched");
    return 0;
  }
  FUZZ_CHECK(!skin.name.empty() && skin.name.size() <= 64);
  FUZZ_CHECK(!skin.fontFace.empty() && skin.fontFace.size() <= 96);
  FUZZ_CHECK(std::memchr(skin.name.data(), 0, skin.name.size()) == nullptr);
  qx::AdjustSkinColours(skin, static_cast<int8_t>(bytes.size()), 50, -50);
  return 0;
}
