// SHA-1 digests: the published test vectors, however the input is split, on every engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sha1.h"

namespace {

using Engine = capture::Sha1::Engine;

std::string Digest(Engine engine, const std::string& text, size_t piece) {
  capture::Sha1 sha(engine);
  for (size_t at = 0; at < text.size(); at += piece) sha.Update(text.data() + at, std::min(piece, text.size() - at));
  return capture::Sha1::Hex(sha.Final());
}

TEST(Sha1, GivesThePublishedDigestsHoweverTheInputIsSplit) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (Engine engine : {Engine::Fastest, Engine::Portable})
    for (const auto& [text, expected] : vectors)
      for (size_t piece : {size_t{1}, size_t{7}, size_t{64}, size_t{1000}, text.size() + 1})
        EXPECT_EQ(Digest(engine, text, piece), expected)
            << (engine == Engine::Portable ? "portable, " : "") << text.size() << " bytes in pieces of " << piece;
}

TEST(Sha1, StartsAfreshAfterEachDigest) {
  capture::Sha1 sha;
  sha.Update("abc", 3);
  sha.Final();
  sha.Update("abc", 3);
  EXPECT_EQ(capture::Sha1::Hex(sha.Final()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

}  // namespace
