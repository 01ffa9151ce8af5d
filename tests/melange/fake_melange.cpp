// A stand-in for the companion material library that is wrong in one way, chosen by the
// build: a version entry giving another number (FAKE_DLL_VERSION, FAKE_COMPILER_VERSION,
// FAKE_PLATFORM) or an entry point missing (FAKE_NO_PLATFORM, FAKE_NO_CREATE). Its
// CreateMelangeMaterialFile writes nothing and fails, or with FAKE_EMPTY_FILE writes a
// material file without any material and succeeds.
#include <cstdio>

#include "talvo_melange.h"

#ifndef FAKE_DLL_VERSION
#define FAKE_DLL_VERSION TALVO_MELANGE_DLL_VERSION
#endif
#ifndef FAKE_COMPILER_VERSION
#define FAKE_COMPILER_VERSION TALVO_MELANGE_COMPILER_VERSION
#endif
#ifndef FAKE_PLATFORM
#define FAKE_PLATFORM TALVO_MELANGE_PLATFORM
#endif

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

FAKE_EXPORT int32_t GetDllVersion(void) { return FAKE_DLL_VERSION; }

FAKE_EXPORT int32_t GetCompilerVersion(void) { return FAKE_COMPILER_VERSION; }

#ifndef FAKE_NO_PLATFORM
FAKE_EXPORT int32_t GetPlatform(void) { return FAKE_PLATFORM; }
#endif

#if defined(FAKE_EMPTY_FILE)
FAKE_EXPORT int32_t CreateMelangeMaterialFile(const TalvoMelangeArguments* arguments) {
  std::FILE* file = std::fopen(arguments->materialFile, "wb");
  if (!file) return 0;
  const bool written =
      std::fputs("{\"format\": \"talvo document\", \"version\": 1, \"name\": \"\", \"path\": {\"filename\": \"\"}, "
                 "\"settings\": {}, \"layers\": [], \"materials\": [], \"objects\": []}\n",
                 file) >= 0;
  return std::fclose(file) == 0 && written ? 1 : 0;
}
#elif !defined(FAKE_NO_CREATE)
FAKE_EXPORT int32_t CreateMelangeMaterialFile(const TalvoMelangeArguments*) { return 0; }
#endif
