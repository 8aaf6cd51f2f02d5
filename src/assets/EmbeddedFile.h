// EMBEDDED_FILE(symbol, path): assembler text that places a file's bytes in read-only data
// between the global labels `symbol` and `symbolEnd`, with the assembler's .incbin, so that a
// 3 MB song costs nothing to compile. Each target's assembler wants the data placed its own
// way: wasm objects keep every data symbol in a section of its own, with a type and a size,
// and have no section stack.
#pragma once

#if defined(__wasm__)
#define EMBEDDED_SECTION(symbol) ".section .rodata." #symbol ",\"\",@\n"
#define EMBEDDED_SECTION_END ""
#elif defined(_WIN32)
#define EMBEDDED_SECTION(symbol) ".section .rdata,\"dr\"\n"
#define EMBEDDED_SECTION_END ".text\n"
#else
#define EMBEDDED_SECTION(symbol) ".section .rodata\n"
#define EMBEDDED_SECTION_END ".previous\n"
#endif
#if defined(_WIN32) && !defined(_WIN64)
#define EMBEDDED_SYMBOL(name) "_" #name  // i686 COFF symbols carry a leading underscore
#else
#define EMBEDDED_SYMBOL(name) #name
#endif
#if defined(_WIN32)
#define EMBEDDED_OBJECT(label) ""  // COFF symbols have no object type or size
#define EMBEDDED_SIZE(label, bytes) ""
#else
#define EMBEDDED_OBJECT(label) ".type " label ",@object\n"
#define EMBEDDED_SIZE(label, bytes) ".size " label ", " bytes "\n"
#endif

// The end label holds one byte of its own: wasm gives every data symbol a size.
#define EMBEDDED_FILE(symbol, path)                                                                        \
  EMBEDDED_SECTION(symbol) ".global " EMBEDDED_SYMBOL(symbol) "\n" EMBEDDED_OBJECT(EMBEDDED_SYMBOL(symbol)) \
  ".balign 16\n" EMBEDDED_SYMBOL(symbol) ":\n.incbin \"" path "\"\n"                                       \
  EMBEDDED_SIZE(EMBEDDED_SYMBOL(symbol), ". - " EMBEDDED_SYMBOL(symbol))                                   \
  ".global " EMBEDDED_SYMBOL(symbol##End) "\n" EMBEDDED_OBJECT(EMBEDDED_SYMBOL(symbol##End))               \
  EMBEDDED_SYMBOL(symbol##End) ":\n.byte 0\n" EMBEDDED_SIZE(EMBEDDED_SYMBOL(symbol##End), "1")             \
  EMBEDDED_SECTION_END
