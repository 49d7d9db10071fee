// Screenshots of the handset's display compared with reference pictures kept in the
// repository. Every comparison leaves the picture it was given in the run's folder (for a
// look, or to take over by hand); PELKAVO_UPDATE_REFERENCES=1 writes it over the reference
// instead (look at it before committing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> ReadFileBytes(const std::string &path);

// A PNG as 8-bit RGB triples, row by row; empty when it cannot be read.
struct RgbPicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
RgbPicture DecodePng(const std::vector<uint8_t> &png);

// The PNG against `reference`, pixel for pixel: "" when they are equal (or the reference was
// written), else what differs. The PNG is copied to `runCopy` first.
std::string CompareWithReference(const std::vector<uint8_t> &png, const std::string &reference,
                                 const std::string &runCopy);

// The screenshot references show the screen source's colour bars. This writes a copy of the
// profile file `profile` to `copy` without its vendor camera library, so that a camera handset
// runs on the screen source, and returns `copy`. A DirectShow handset needs the program's
// directory without "dsgrab.dll" as well (ProgramDirectoryWithout).
std::string WithoutCameraLibrary(const std::string &profile, const std::string &copy);

// Makes `folder` a program directory (for HANDSET_PROGRAM_DIR) of links to the files of
// `programDirectory` except those named, as if they had not been installed; returns `folder`.
std::string ProgramDirectoryWithout(const std::string &programDirectory, const std::string &folder,
                                    const std::vector<std::string> &missing);
