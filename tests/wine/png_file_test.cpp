// The screenshots' PNG files, read back with libpng: every pixel as written, also past
// the first stored deflate block, and nothing written for an image that is not whole.
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testhost/png_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace srtm::host {
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

TEST(PngFile, LibpngReadsBackEveryPixelOfSmallAndMultiBlockImages) {
  // 300 x 200 x 3 bytes of rows: four stored blocks of at most 65535 bytes.
  for (auto size : {std::pair<int, int>{1, 1}, {3, 2}, {300, 200}}) {
    const RgbImage image = Pattern(size.first, size.second);
    int width = 0, height = 0;
    EXPECT_EQ(Decode(EncodePng(image), &width, &height), image.rgb) << size.first << " x " << size.second;
    EXPECT_EQ(width, size.first);
    EXPECT_EQ(height, size.second);
  }
}

TEST(PngFile, AnImageThatIsNotWholeGivesNoFile) {
  RgbImage image = Pattern(4, 4);
  image.rgb.pop_back();
  EXPECT_TRUE(EncodePng(image).empty());
  EXPECT_TRUE(EncodePng(RgbImage{}).empty());
  test::TempFolder folder;
  const std::string path = srtm::platform::ToNativePath(folder.File("cut.png"));
  EXPECT_FALSE(WritePng(path, image));
  EXPECT_FALSE(test::Exists(folder.File("cut.png")));
  EXPECT_FALSE(WritePng(srtm::platform::ToNativePath(folder.File("missing\\x.png")), Pattern(2, 2)));
  ASSERT_TRUE(WritePng(path, Pattern(2, 2)));
  int width = 0, height = 0;
  EXPECT_EQ(Decode(test::ReadBytes(folder.File("cut.png")), &width, &height), Pattern(2, 2).rgb);
}

}  // namespace
}  // namespace srtm::host
