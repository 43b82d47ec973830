// Writes the seed corpora of the fuzz targets into FOLDER/<target>/: small XEM files
// from the plug-in's own writer and encoder, blocks and streams, paths and host message
// sequences. Run by hand (fuzz_make_seeds fuzz/corpus) when an input format changes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "xem/codec.h"
#include "xem/xem_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path g_root;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(g_root / target);
  std::ofstream(g_root / target / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                static_cast<std::streamsize>(bytes.size()));
}

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutString(Bytes& b, const std::string& s) {
  Put16(b, static_cast<unsigned>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

std::vector<std::int16_t> Slope(int width, int height, bool voids) {
  std::vector<std::int16_t> block(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::int16_t>(voids && i % 7 == 3 ? -32768 : 100 + (i % width) * 3 + (i / width) * 2);
  }
  return block;
}

Bytes Encode(const std::vector<std::int16_t>& block, int width) {
  Bytes stream(srtm::TileCodec::MaxCompressedBytes(block.size()));
  auto length = static_cast<std::uint32_t>(stream.size());
  srtm::TileCodec::CompressBlock(stream.data(), &length, block.data(), static_cast<std::uint32_t>(2 * block.size()),
                                 srtm::TileCodec::kCodecDifferential, width);
  stream.resize(length);
  return stream;
}

// A small XEM file: a grid of gridW x gridH samples in blocks of side x side.
Bytes SmallXem(int gridW, int gridH, int side, int codec) {
  const int columns = (gridW + side - 1) / side, rows = (gridH + side - 1) / side;
  const std::string path = srtm::platform::FromUserPath((g_root / "seed.tmp").string());
  srtm::XemFileWriter writer;
  writer.Prepare(columns * rows);
  srtm::XemHeader& h = writer.header();
  h.gridWidth = gridW;
  h.gridHeight = gridH;
  h.blockWidth = h.blockHeight = side;
  h.sampleBytes = 2;
  h.codec = static_cast<std::uint8_t>(codec);
  h.seaValue = -30000;
  writer.StartFile(path, nullptr, nullptr, nullptr);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const auto block = Slope(side, side, (r + c) % 2 == 1);
      Bytes data = codec == srtm::TileCodec::kCodecDifferential
                       ? Encode(block, side)
                       : Bytes(reinterpret_cast<const std::uint8_t*>(block.data()),
                               reinterpret_cast<const std::uint8_t*>(block.data()) + 2 * block.size());
      writer.AppendBlock(c, r, data.data(), static_cast<std::int32_t>(data.size()));
    }
  }
  writer.Finish();
  std::ifstream in(g_root / "seed.tmp", std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove(g_root / "seed.tmp");
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_FOLDER\n");
    return 2;
  }
  g_root = argv[1];

  Write("xem_reader", "grid8x8_codec3", SmallXem(8, 8, 4, 3));
  Write("xem_reader", "grid10x6_codec3", SmallXem(10, 6, 4, 3));
  Write("xem_reader", "grid6x6_codec0", SmallXem(6, 6, 3, 0));
  Bytes cut = SmallXem(8, 8, 4, 3);
  cut.resize(cut.size() - 5);
  Write("xem_reader", "grid8x8_truncated", cut);

  for (int width : {1, 5, 120}) {
    const int height = width == 120 ? 8 : 6;
    const auto block = Slope(width, height, width == 5);
    Bytes decode = {static_cast<std::uint8_t>(width - 1), static_cast<std::uint8_t>(height - 1)};
    const Bytes stream = Encode(block, width);
    decode.insert(decode.end(), stream.begin(), stream.end());
    Write("xem_decode", "slope" + std::to_string(width), decode);

    for (std::uint8_t shaping : {0, 1, 0x21}) {
      Bytes trip;
      Put16(trip, static_cast<unsigned>(width - 1));
      trip.push_back(shaping);
      for (std::int16_t v : block) Put16(trip, static_cast<std::uint16_t>(v));
      Write("codec_round_trip", "w" + std::to_string(width) + "_s" + std::to_string(shaping), trip);
    }
  }

  const std::string longFolder(300, 'a');
  const std::pair<std::string, std::string> paths[] = {
      {"Z:\\t\\N57E011.hgt", "N57E012.hgt"},
      {"Z:\\\x83\x5C\\N35E139.hgtx", "\\x"},
      {"Z:\\t\\s01w072.HGT", ""},
      {"C:" + longFolder + "\\N01E001.hgt", "y"},
      {std::string(258, 'b'), "\\"},
      {"Z:\\t\\", "N00E000.hgt"},
  };
  int n = 0;
  for (const auto& p : paths) {
    for (std::uint8_t mode : {0, 2}) {
      Bytes input = {mode};
      PutString(input, p.first);
      PutString(input, p.second);
      Put32(input, static_cast<std::uint32_t>(-57));
      Put32(input, 139);
      Write("paths", "path" + std::to_string(n++), input);
    }
  }
  // Tile names with the tile folder put in front (mode bit 0).
  for (const char* name : {"N57E011.hgt", "s01w072.HGT", "N00E000.hgt", "S00W000.hgt"}) {
    Bytes input = {1};
    PutString(input, name);
    PutString(input, "N01E002.hgt");
    Write("paths", "path" + std::to_string(n++), input);
  }

  // Host sessions: open a tile, ask for its information, read blocks around it under
  // several settings, close it; and a map the host restored by itself.
  Bytes session = {2, 1, 0, 3, 1, 7, 1};
  for (std::uint8_t settings : {0, 1}) {
    session.insert(session.end(), {0, 0, settings, static_cast<std::uint8_t>(1 - settings)});
    Put32(session, settings ? 5 : static_cast<std::uint32_t>(-40000));
    for (std::uint8_t d : {0, 1, 5}) session.insert(session.end(), {5, 1, 0, 0, d, d, 0});
  }
  session.insert(session.end(), {5, 1, 6, 1, 0, 0, 0, 6, 1, 4, 1});
  Write("map_source", "open_read_close", session);
  Write("map_source", "restored_map", Bytes{3, 8, 5, 8, 0, 0, 0, 0, 0, 5, 8, 1, 0, 2, 0, 0, 6, 8});
  Write("map_source", "damaged_neighbours", Bytes{2, 2, 1, 5, 2, 2, 0, 1, 0, 0, 5, 2, 3, 0, 0, 0, 0, 6, 2});
  return 0;
}
