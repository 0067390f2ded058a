// The game file: the run-time's own program image followed by the game data container. This
// finds the container, undoes the header-version xor and descrambles the data region in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

class CStream;
struct CGameSettings;

inline constexpr size_t kContainerScanStart = 3800004;
inline constexpr uint32_t kMarkerSum = 0xF7140067u;
inline constexpr int32_t kHeaderVersion = 810;

// The length of an ELF program image (the end of its headers, sections and segments), or 0 when
// the bytes are not an ELF image. A standalone game is such an image with a container after it.
size_t ElfImageEnd(const uint8_t* data, size_t size);

// Where the marker scan starts in this file: 3,800,004, or the end of the program image when the
// file is a program longer than that, so the run-time's own bytes are never taken for a container.
size_t ContainerScanStart(const std::vector<uint8_t>& file);

// The offset P of the first marker pair at or after `from`, or -1.
int64_t FindContainer(const std::vector<uint8_t>& file, size_t from);

// The value xored into the stored header version for a container at P.
int32_t HeaderVersionKey(size_t P);

// Two marker words that satisfy the test; the bits the test ignores are random.
void MakeMarkerWords(uint32_t random, uint32_t& A, uint32_t& B);

// Damaged: a marker too close to the end to hold a header.
enum class OpenResult { Ok, CannotRead, NotAGame, Damaged, BadChecksum };

// Finds, un-xors and descrambles the container in `stream`'s buffer, then positions the stream at
// the header (P + 16). P receives the container offset.
OpenResult OpenContainer(CStream& stream, size_t& P);

// The fields that open the header: version, reserved, debug flag, reserved, settings block.
// Null when they read well, else the message to show.
const char* ReadHeaderStart(CStream& s, bool& debug, CGameSettings& settings);

// The resource section's opening: filler ints, reserved flags, game id and GUID.
void ReadSectionPreamble(CStream& section, int32_t& gameId, std::array<uint8_t, 16>& guid);

// Reads the game file into `stream`, then OpenContainer.
OpenResult OpenGameFile(const std::string& path, CStream& stream, size_t& P);

// Descrambles the game data region whose seed int is at `base`, in place. Returns false when
// the checksum does not match; the caller ends the run.
bool DecryptWad(CStream& stream, size_t base);
// The inverse, used by the builder: scrambles the region after the seed and checksum ints,
// which it first fills in (the checksum over the plain region).
void EncryptWad(CStream& stream, size_t base, uint32_t seed);

// The two-state multiply-with-carry generator of the descrambler.
uint32_t LocalRandom(uint32_t& z, uint32_t& w);

// The four-character prefix and suffix of the descrambler's seed text: shared with the builder.
inline constexpr std::string_view kWadSeedPrefix = "Kx7q";
inline constexpr std::string_view kWadSeedSuffix = "r2Zm";
std::u16string WadSeedText(uint32_t seed);

}  // namespace kestro
