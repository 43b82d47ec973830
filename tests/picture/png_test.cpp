// PNG files read back with libpng: the pictures of both writers (libpng's, and the small
// zlib writer the Windows world uses) hold every pixel as written, and an image that is
// not whole gives no file.
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "picture/png.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace srtm::picture {
namespace {

RgbImage Pattern(int width, int height) {
  RgbImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgb.push_back(static_cast<std::uint8_t>(x * 7 + y));
      image.rgb.push_back(static_cast<std::uint8_t>(y * 13));
      image.rgb.push_back(static_cast<std::uint8_t>(x ^ y));
    }
  }
  return image;
}

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& file, int* width, int* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return pixels;
}

TEST(PngFile, BothWritersGiveEveryPixelBack) {
  for (auto size : {std::pair<int, int>{1, 1}, {3, 2}, {300, 200}}) {
    const RgbImage image = Pattern(size.first, size.second);
    for (bool small : {false, true}) {
      SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second) + (small ? ", zlib" : ", libpng"));
      int width = 0, height = 0;
      EXPECT_EQ(Decode(small ? EncodePngWithZlib(image) : EncodePng(image), &width, &height), image.rgb);
      EXPECT_EQ(width, size.first);
      EXPECT_EQ(height, size.second);
    }
  }
  // Compressed, not stored: 180,000 bytes of one colour take a few hundred.
  const RgbImage flat{300, 200, std::vector<std::uint8_t>(300 * 200 * 3, 90)};
  EXPECT_LT(EncodePngWithZlib(flat).size(), 2000u);
}

TEST(PngFile, AnImageThatIsNotWholeGivesNoFile) {
  RgbImage image = Pattern(4, 4);
  image.rgb.pop_back();
  EXPECT_TRUE(EncodePng(image).empty());
  EXPECT_TRUE(EncodePng(RgbImage{}).empty());
  test::TempFolder folder;
  const std::string path = folder.File("cut.png");
  EXPECT_FALSE(WritePng(image, path).empty());
  EXPECT_FALSE(test::Exists(path));
  EXPECT_FALSE(WritePng(Pattern(2, 2), folder.File("missing\\x.png")).empty());
  ASSERT_EQ(WritePng(Pattern(2, 2), path), "");
  int width = 0, height = 0;
  EXPECT_EQ(Decode(test::ReadBytes(folder.File("cut.png")), &width, &height), Pattern(2, 2).rgb);
}

}  // namespace
}  // namespace srtm::picture
