#pragma once
// The installation steps over whole folders and packet slots: the space a
// packet's part needs, the libraries of a folder that no installed Talvane
// names, and every packet of a folder installed slot by slot.

#include <filesystem>
#include <string>
#include <vector>

#include "player/env/file_util.h"

namespace orv::install {

class PacketInstaller;

class COrv_PacketFolder {
 public:
  // Reads slot `slot` of the packet and checks the room its part needs on
  // both drives (COrv_FileUtil::CheckSpaceForPart). False without a
  // message when the slot cannot be read; false after the space box when
  // a drive is too small.
  // `probe` answers the free bytes of a folder's drive (none: the drive).
  static bool CheckSpaceForPacket(const std::string& destinationFolder, const std::string& packetFolder,
                                  const std::string& packetName, int slot,
                                  const orv::COrv_FileUtil::SpaceProbe& probe = {});

  // The ".tvl" files of `folder` that no installed Talvane records as its
  // source (paths compared without regard to case). Nothing is changed.
  static std::vector<std::filesystem::path> ScanLibraries(const std::filesystem::path& folder);

  // Installs every ".tpk" of `packetFolder` into `destinationFolder` through
  // `installer`, slot by slot: a packet that is not valid is named in the
  // packet reader's message and skipped; a slot whose Talvane is installed
  // already is installed again only when the learner answers Yes to the
  // reinstall question (`ask`; without it, the installed one is kept), and
  // only when its space is there. A packet whose slots all installed goes to the BackUp folder.
  // Answers the number of Talvanes installed.
  static int InstallPacketsInFolder(const std::filesystem::path& packetFolder,
                                    const std::filesystem::path& destinationFolder, PacketInstaller& installer,
                                    bool ask = true);
};

}  // namespace orv::install
