/* The companion material library's C interface.
 *
 * The importer loads the library at run time by path and calls it through these entry
 * points only, so everything that crosses between them has a fixed C layout: fixed-width
 * integers, doubles, pointers to NUL-terminated UTF-8 texts and arrays of the structs
 * below. The library keeps no pointer after a call returns.
 *
 *   int32_t GetDllVersion(void)         261
 *   int32_t GetCompilerVersion(void)    1700
 *   int32_t GetPlatform(void)           64
 *   int32_t CreateMelangeMaterialFile(const TalvoMelangeArguments* arguments)
 *       writes the material file; not 0 on success, 0 on any failure (a file that could
 *       not be written completely is not left behind).
 */
#ifndef TALVO_MELANGE_H
#define TALVO_MELANGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TALVO_MELANGE_DLL_VERSION 261
#define TALVO_MELANGE_COMPILER_VERSION 1700
#define TALVO_MELANGE_PLATFORM 64
/* The layout version of TalvoMelangeArguments. */
#define TALVO_MELANGE_ARGUMENTS_VERSION 1

/* Value types of a parameter entry, as the scene file has them. */
#define TALVO_MELANGE_VALUE_NONE 0
#define TALVO_MELANGE_VALUE_REAL 1
#define TALVO_MELANGE_VALUE_STRING 2

/* One entry of a shader's parameter set. Grid entries (value types 3 and 4) are passed
 * with their type and no value. */
typedef struct TalvoMelangeParameter {
  const char* fullName;    /* "C4D_<group>_<parameter>", without the index; "" when the
                              entry's name is no parameter key */
  const char* group;       /* the key's second part */
  const char* parameter;   /* the key's third part */
  const char* stringValue; /* value type 2; "" otherwise */
  double realValue;        /* value type 1; 0 otherwise */
  int32_t index;           /* the key's fourth part, 0 when it has none */
  int32_t recognised;      /* 1 when the name is a parameter key */
  int32_t valueType;
  int32_t reserved;        /* 0 */
} TalvoMelangeParameter;

/* One shader; the shader's index is its place in the array. */
typedef struct TalvoMelangeShader {
  const char* name;                        /* the surface's name */
  const TalvoMelangeParameter* parameters; /* parameterCount entries in file order */
  int32_t parameterCount;
  int32_t recognisedCount;                 /* entries whose name is a parameter key */
} TalvoMelangeShader;

/* One texture embedded in the scene file: its record path (the name its file gets in
 * the texture folder) and its file title, by either of which a parameter may name it. */
typedef struct TalvoMelangeTexture {
  const char* path;
  const char* fileTitle;
} TalvoMelangeTexture;

typedef struct TalvoMelangeArguments {
  uint32_t size;    /* sizeof(TalvoMelangeArguments); the library refuses other sizes */
  uint32_t version; /* TALVO_MELANGE_ARGUMENTS_VERSION */
  const char* materialFile;  /* the file to write */
  const char* textureFolder; /* the folder the textures are extracted into */
  const TalvoMelangeShader* shaders;
  const TalvoMelangeTexture* textures;
  int32_t shaderCount;
  int32_t textureCount;
  double effectiveScale;     /* the import's length factor */
  double projectScaleFactor; /* the target document's project scale */
  int32_t projectScaleUnit;
  int32_t reserved; /* 0 */
} TalvoMelangeArguments;

typedef int32_t (*TalvoMelangeVersionFunction)(void);
typedef int32_t (*TalvoMelangeCreateFunction)(const TalvoMelangeArguments* arguments);

#ifdef __cplusplus
}
#endif

#endif /* TALVO_MELANGE_H */
