// The channel tree of one light: the light's recognised scene entries sorted by group
// and by index, matched against the mapper's light channels, converted into host values,
// completed with the table defaults, and the shader references of the values expanded
// into shader nodes. The results are two tables that the light builder applies: the
// channel table (one TalChannel per channel the light names) and the shader table (one
// ShaderNode per shader reference met).
#pragma once

#include <cstdint>
#include <vector>

#include "common/hash_map.h"
#include "host/filename.h"
#include "host/text.h"
#include "host/values.h"
#include "talvo_import_xmlmap.h"

namespace talvo {

struct ParameterEntry;

struct TalChannel {
  host::String name;
  common::StringMap<XmlParam> params;  // working copies, by upper-cased parameter name
};
using ChannelTable = common::StringMap<TalChannel>;

struct ShaderNode {
  host::String kindName;
  int32_t shaderId = 0;
  int32_t parentId = 0;
  common::StringMap<XmlParam> params;        // the kind's own parameters
  common::StringMap<XmlParam> parentParams;  // inherited from the parent kinds
};
// Keyed by the reference text exactly as it stood in the value.
using ShaderTable = common::StringMap<ShaderNode>;

// A scene value converted for a type code; ok is false when the entry does not fit it.
struct XmlValue {
  host::HostValue value;
  bool ok = false;
};

// Shader references nest at most this deep (a gradient and its knots take two levels).
constexpr int32_t kShaderNestingLimit = 32;
// At most this many shader nodes are built for one light: a value may name the same
// reference again and again, and every naming builds its tree anew.
constexpr int32_t kShaderBuildLimit = 10000;

class ChannelTree {
 public:
  // The tables are the light's; the tree fills them. The texture folder is read when file
  // names are converted, so it may still change until then.
  ChannelTree(const XmlMapper& mapper, double lengthScale, const host::Filename& textureFolder,
              ChannelTable& channels, ShaderTable& shaders);
  ChannelTree(const ChannelTree&) = delete;
  ChannelTree& operator=(const ChannelTree&) = delete;

  // Files a recognised entry by its index, or by its group when it has none. The entry
  // must outlive the tree.
  void addEntry(const ParameterEntry& entry);

  // Calls visit(group) for every group of entries without index, in map order.
  template <class Visit>
  void forEachGroup(Visit visit) const {
    groups_.forEach([&](const host::String& group, const EntryList&) { visit(group); });
  }

  // Gives the group's channel, with every parameter the tables have for it, a place in
  // the channel table.
  void AddToDefaultTree(const host::String& group);
  // Stores the converted scene values of the channel's group and reconciles every
  // parameter with its default; shader references become nodes on the way.
  void fillChannel(const host::String& key, TalChannel& channel);
  XmlValue GetXmlValue(int32_t typeCode, const ParameterEntry& entry) const;
  // Builds the node of a reference, after the nodes it refers to.
  void AddShaderToTree(const host::String& reference);

  // The references whose nodes were stored, in the order they were stored.
  const std::vector<host::String>& storedNodes() const { return stored_; }

 private:
  struct EntryRef {
    const ParameterEntry* entry = nullptr;
  };
  using EntryList = common::PtrVector<EntryRef>;

  void reconcile(const host::String& name, XmlParam& param);
  void startNode(ShaderNode& node, const ShaderMap& kind) const;
  void inherit(ShaderNode& node, int32_t parentId) const;
  // Whether another node may be built for the reference now; prints why not.
  bool mayBuild(const host::String& reference);
  void storeNode(const host::String& reference, const ShaderNode& node);

  const XmlMapper& mapper_;
  double lengthScale_;
  const host::Filename& textureFolder_;
  host::String setName_;
  ChannelTable& channels_;
  ShaderTable& shaders_;
  common::StringMap<EntryList> groups_;
  common::StringMap<EntryList> indexed_;
  std::vector<host::String> building_;  // the references being built, outermost first
  std::vector<host::String> stored_;
  int32_t builds_ = 0;
};

// Copies every parameter of from into to, in from's walk order.
void copyParams(const common::StringMap<XmlParam>& from, common::StringMap<XmlParam>& to);

}  // namespace talvo
