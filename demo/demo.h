// The demo: the plug-in's four things on one tile, done through the stand-in host and
// its scripted user as a person would do them at the host, with pictures and a summary.
//
//   srtm-demo [--plugin PATH] TILE.hgt --out FOLDER [--level N] [--region S,W,N,E]
//
// 1. The tile (copied alone into FOLDER\tiles) is opened as the host opens a map; the
//    served blocks around it become a relief picture, the tiles that are not there
//    hatched grey.
// 2. The settings command and dialog set the sea level to N metres (default 25); the
//    picture is drawn again and the sea line moves.
// 3. The compress command's wizard compresses the folder into FOLDER\xem, its progress
//    bar drawn in the terminal as the host pumps.
// 4. The wizard's Finish registers the XEM file with the host and opens it; the grid the
//    host decodes from it, passed through the plug-in's XEM hook, is the third picture.
// Ends with a summary: tile, sizes, compression ratio, times and the pictures. The demo
// makes FOLDER\tiles and FOLDER\xem and refuses them when they hold files it did not
// make there.
#pragma once

namespace srtm::host {
class Plugin;
}

namespace srtm::demo {

// Runs the demo with its arguments (after --plugin); returns the process exit code.
int Run(host::Plugin& plugin, int argc, char** argv);

}  // namespace srtm::demo
