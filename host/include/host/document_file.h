// Document files: the host saves a document as one JSON text and loads it back. A file
// holds everything in the document except its undo; a loaded document gives the same
// JSON as the one that was saved. `talvo dump` prints the same JSON, leaving out the
// geometry arrays unless asked for them.
//
//   document field  value
//   format          "talvo document"
//   version         1
//   name            the document name
//   path            the document path, {"filename": "..."}
//   settings        the settings container (the project scale under 2117)
//   layers          the first level of the layer tree: [layer, ...]
//   materials       the materials in document order: [material, ...]; a file without
//                   the field has none
//   objects         the top-level objects in order: [object, ...]
//
//   layer field     value
//   name            the layer name
//   children        its sublayers in order: [layer, ...]
//
//   material field  value
//   type            5703 standard
//   name            the material name
//   params          the parameter container
//   channels        {"<channel id>": container, ...}: the channels whose data is not
//                   empty, in id order
//   shaders         the shaders directly under the material in order: [shader, ...]
//
//   shader field    value
//   type            5833 bitmap, 1011128 filter
//   name            the shader name
//   params          the parameter container
//   children        the shaders under it in order: [shader, ...]
//
//   object field    value
//   type            5100 polygon, 5102 light, 5103 camera, 5126 instance, 5140 null
//   name            the object name
//   position        [x, y, z]
//   rotation        [heading, pitch, bank] in radians
//   scale           [x, y, z]
//   editorMode      0 on, 1 off, 2 undefined
//   renderMode      0 on, 1 off, 2 undefined
//   selected        true or false
//   layer           a layer reference, or null for none
//   params          the parameter container
//   tags            the tags in order: [tag, ...]
//   pointCount      points of a polygon object (0 for other objects)
//   polygonCount    polygons of a polygon object (0 for other objects)
//   children        the children in child order: [object, ...]
//
//   tag field       value (geometry only in files and in dumps with geometry)
//   type            the tag type: a host tag (5600, 5604, ...) or a plug-in tag's id
//   name            the tag name
//   params          the parameter container
//   projectionScale     [x, y, z]: texture tags (5616), in every dump
//   projectionRotation  [heading, pitch, bank] in radians: texture tags, in every dump
//   points          [[x, y, z], ...]                    point tags
//   polygons        [[a, b, c, d], ...], c == d for a triangle: polygon tags
//   uvws            [[[u, v, w] x 4], ...], one per polygon: UVW tags
//   normals         [[x, y, z], ...], four per polygon: normal tags
//
// A tag writes the array of its own kind always and any other array that is not empty.
// Containers are objects keyed by parameter id; values are written as value_json.h
// describes (1 is an integer, 1.0 a real; vectors are three reals; file names, links and
// custom data are objects naming what they are).
//
// References inside the file are indices in depth-first order, a parent before its
// children and children in order (the order of BaseDocument::allObjects):
//   an object link  {"link": N}, N the linked object's index among all objects of the
//                   file
//   a material link {"link": {"material": N}}, N the material's index in "materials"
//   a shader link   {"link": {"shader": N}}, N the shader's index among all shaders of
//                   the file, material after material, a shader before its children
//   no link         {"link": null}, also for a link to anything not in the document
//   a layer         N, the layer's index over the whole layer tree.
// Loading makes every material, shader and object before it reads any container, and
// maps each index to the identity of what it made.
//
// Loading checks the whole file and fails with an error text on anything it cannot take
// as written: malformed JSON, a missing field or one of the wrong type, an unknown object,
// material or shader type, a reference past the objects, materials, shaders or layers of
// the file, a channel the material does not have, a polygon corner outside its
// object's points, counts that do not match the arrays (so a dump without geometry is
// no document file). A plug-in tag is made by its plug-in when that is registered;
// otherwise it is kept as a tag of its type with its name and parameters, so that
// saving again loses nothing.
#pragma once

#include <nlohmann/json.hpp>

#include "host/filename.h"
#include "host/plugins.h"
#include "host/scene.h"
#include "host/text.h"

namespace host {

using Json = nlohmann::ordered_json;

// The document as JSON; with `withGeometry` the tags' geometry arrays too.
Json documentToJson(const BaseDocument& document, bool withGeometry);

// A new document (in no document list; the caller frees it) from its JSON; nullptr with
// the reason in *outError when the JSON is no document this host can load, or memory is
// short. Nothing of a failed load is left behind.
BaseDocument* documentFromJson(const Json& json, String* outError = nullptr);

// The JSON text the host writes: two-space indent; short arrays of numbers and values
// written as objects (links, file names, custom data) on one line.
String documentJsonText(const Json& json);

// Writes the document with its geometry; false when the file cannot be written (an
// existing file is then left as it was).
bool saveDocument(const BaseDocument& document, const Filename& name);

// Reads a document file; nullptr with the reason in *outError when the file cannot be
// read or is no document file. The filter (kSceneLoadObjects, kSceneLoadMaterials of
// host/plugins.h) says what the document gets: with materials only, it holds the file's
// materials and none of its objects or layers (the whole file is checked all the same).
BaseDocument* loadDocument(const Filename& name, String* outError = nullptr,
                           int32_t filter = kSceneLoadObjects | kSceneLoadMaterials);

// Whether two documents hold the same: their JSON with geometry is equal.
bool documentsEqual(const BaseDocument& a, const BaseDocument& b);

}  // namespace host
