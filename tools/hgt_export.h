// An XEM file back to an .hgt tile, for users who want their compressed data in any GIS.
//
// An XEM file stores a tile without its northern row and eastern column (shared with the
// neighbours). They are taken from the XEM files of the northern, eastern and
// north-eastern neighbours in the same folder when those are there (and are the tiles
// next to this one, of the same size); otherwise the nearest stored row or column is
// repeated. A file compressed with the fill off and exported with its neighbours present
// is the source tile again, byte for byte.
#pragma once

#include <string>

#include "xem/status.h"

namespace srtm::cli {

// Where the samples that an XEM file does not store came from.
struct ExportedEdges {
  std::string north;   // the neighbour's file name, or "repeated from the edge (why)"
  std::string east;
  std::string corner;
  int lat = 0, lon = 0;  // south-west corner of the tile
  int side = 0;          // samples a side of the .hgt written
};

// Writes the tile of the XEM file at `xemPath` to `hgtPath` (plug-in paths) by the
// output rule of platform/output_file.h: on failure no new file, and an older one as it
// was. `writeFailed` tells a failure of the output (its message the system's reason, or,
// as an invalid argument, that the output is the XEM file or a neighbour it read) from
// one of the input.
Status ExportHgt(const std::string& xemPath, const std::string& hgtPath, ExportedEdges* edges, bool* writeFailed);

}  // namespace srtm::cli
