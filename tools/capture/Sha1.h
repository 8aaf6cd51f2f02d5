// SHA-1 digests of frames and sound, for comparing whole runs cheaply.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace capture {

class Sha1 {
 public:
  using Digest = std::array<uint8_t, 20>;
  // Fastest: the processor's SHA instructions where it has them (the same digests).
  enum class Engine { Fastest, Portable };

  explicit Sha1(Engine engine = Engine::Fastest);
  void Update(const void* bytes, size_t size);
  // The digest of everything given so far; the object starts afresh afterwards.
  Digest Final();

  static std::string Hex(const Digest& digest);
  static std::string HexOf(const void* bytes, size_t size);

 private:
  void Reset();
  void Compress(const uint8_t* data, size_t blocks);

  [[maybe_unused]] bool portable_;  // only where there are extensions to leave out
  std::array<uint32_t, 5> state_;
  std::array<uint8_t, 64> pending_;
  size_t pendingBytes_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace capture
