// The skin engine library and the skin the program carries as constant data
// (generated at build time from the built library and the skin's bytes).
#pragma once

#include <cstddef>

namespace brevane {

extern const unsigned char SkinLibraryImage[];
extern const std::size_t SkinLibraryImageSize;
extern const unsigned char SkinData[];
extern const std::size_t SkinDataSize;

}  // namespace brevane
