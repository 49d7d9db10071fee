// The built tarnjpg.dll as the program loads it: one export, a table of five operations.
#include "tarnjpg/tarnjpg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

std::string libraryPath() {
  const char* build = std::getenv("PELKAVO_BUILD_DIR");
  return std::string(build ? build : ".") + "/prog/tarnjpg.dll";
}

TEST(Library, ExportsOnlyDllGetData) {
  std::string command = "nm -D --defined-only " + libraryPath();
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char type = 0;
    char name[400];
    if (std::sscanf(line, "%*s %c %399s", &type, name) != 2 || (type != 'T' && type != 'D' && type != 'B')) continue;
    // Section bounds the linker adds when another object (a sanitizer runtime) refers to them.
    const std::string symbol = name;
    if (symbol != "__bss_start" && symbol != "_edata" && symbol != "_end") exported.push_back(symbol);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(exported, std::vector<std::string>{"DllGetData"});
}

TEST(Library, TableFromTheLoadedLibrary) {
  void* module = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto get = reinterpret_cast<DllGetDataFn>(dlsym(module, "DllGetData"));
  ASSERT_NE(get, nullptr);
  EncoderTable first{}, second{};
  EXPECT_EQ(get(&first), 1u);
  EXPECT_EQ(get(&second), 1u);
  EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
  EXPECT_NE(first.Create, nullptr);
  EXPECT_NE(first.ConvertFrame, nullptr);

  EXPECT_EQ(first.Destroy(nullptr), 1u);
  EncoderContext* ctx = nullptr;
  EXPECT_EQ(first.Create(&ctx), 1u);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->headerLength, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(ctx->workArea) % 32, 0u);
  EXPECT_GE(reinterpret_cast<uint8_t*>(ctx->workArea), static_cast<uint8_t*>(ctx->rawAllocation));
  EXPECT_LT(reinterpret_cast<uint8_t*>(ctx->workArea), static_cast<uint8_t*>(ctx->rawAllocation) + 32);
  EXPECT_EQ(static_cast<void*>(ctx->blocks), static_cast<void*>(ctx->workArea));
  EXPECT_EQ(ctx->lumaDc->code[0], 0u | 2u << 16);  // category 0: "00"
  EXPECT_EQ(ctx->lumaAc->code[0x00], 0xAu | 4u << 16);  // EOB: "1010"
  EXPECT_EQ(ctx->lumaAc->code[0xF0], 0x7F9u | 11u << 16);  // ZRL
  EXPECT_EQ(ctx->lumaAc->code[0x0B], 0u);  // undefined symbol
  EXPECT_EQ(first.SetQuality(ctx, 75), 1u);
  std::vector<uint8_t> frame(32 * 16 * 2, 128), out(8192);
  EncodeParams p{32, 16, InputUyvy, 0, 0, Sampling422};
  EXPECT_GT(first.Encode(ctx, out.data(), frame.data(), &p, 1), 623u);
  EXPECT_EQ(first.Destroy(ctx), 1u);
  dlclose(module);
}

}  // namespace
