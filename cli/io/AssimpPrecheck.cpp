// What is checked before the library reads a file, each in one pass without
// recursion: the nesting of XML elements and of JSON (and brace-structured
// text) values, the depth of a glTF node hierarchy (and that it has no cycle),
// a GLB's chunk sizes, and a PLY header (it must end, and its element counts
// must fit the bytes after it). The library recurses with each of these and
// allocates what headers declare; a file beyond these bounds is refused with
// what it declares and what the bound is. Linear in the file size.
#include <stdint.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

std::string TooDeep(const std::string& what) {
  return "nests " + what + " more than " + std::to_string(kMaxNesting) + " levels deep; deeper files are refused";
}

bool CheckXmlDepth(std::string_view text, std::string* detail) {
  size_t depth = 0;
  size_t at = 0;
  auto skipPast = [&](std::string_view end) {
    const size_t found = text.find(end, at);
    at = found == std::string_view::npos ? text.size() : found + end.size();
  };
  while ((at = text.find('<', at)) != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    if (rest.substr(0, 4) == "<!--") {
      skipPast("-->");
    } else if (rest.substr(0, 9) == "<![CDATA[") {
      skipPast("]]>");
    } else if (rest.substr(0, 2) == "<?" ) {
      skipPast("?>");
    } else if (rest.substr(0, 2) == "<!") {
      skipPast(">");
    } else if (rest.substr(0, 2) == "</") {
      if (depth > 0) --depth;
      skipPast(">");
    } else {
      // An element's start tag: to its '>' outside quoted attribute values.
      char quote = 0;
      size_t end = at + 1;
      for (; end < text.size(); ++end) {
        const char c = text[end];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
      if (end >= text.size()) break;
      if (text[end - 1] != '/' && ++depth > kMaxNesting) {
        *detail = TooDeep("XML elements");
        return false;
      }
      at = end + 1;
    }
  }
  return true;
}

// JSON values, or any text whose structure is braces and brackets.
bool CheckBraceDepth(std::string_view text, std::string* detail) {
  size_t depth = 0;
  bool inString = false;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (inString) {
      if (c == '\\') ++at;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxNesting) {
        *detail = TooDeep("values");
        return false;
      }
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  return true;
}

// The glTF node hierarchy: each node's children, followed without recursion;
// a node reached twice on one path is a cycle the library would follow forever.
bool CheckGltfNodes(std::string_view json, std::string* detail) {
  const nlohmann::json document = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
  if (document.is_discarded() || !document.is_object()) return true;  // the library says what is wrong
  const auto nodes = document.find("nodes");
  if (nodes == document.end() || !nodes->is_array()) return true;
  const size_t count = nodes->size();
  std::vector<std::vector<size_t>> children(count);
  std::vector<bool> isChild(count, false);
  for (size_t n = 0; n < count; ++n) {
    const nlohmann::json& node = (*nodes)[n];
    if (!node.is_object()) continue;
    const auto list = node.find("children");
    if (list == node.end() || !list->is_array()) continue;
    for (const nlohmann::json& child : *list)
      if (child.is_number_unsigned() && child.get<uint64_t>() < count) {
        children[n].push_back(size_t(child.get<uint64_t>()));
        isChild[size_t(child.get<uint64_t>())] = true;
      }
  }
  // Depth-first from every node (roots first), with the path's nodes marked.
  std::vector<uint8_t> state(count, 0);  // 0 unseen, 1 on the path, 2 done
  struct CFrame {
    size_t node;
    size_t next;
  };
  std::vector<CFrame> path;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t root = 0; root < count; ++root) {
      if (state[root] != 0 || (pass == 0 && isChild[root])) continue;
      path.push_back({root, 0});
      state[root] = 1;
      while (!path.empty()) {
        CFrame& frame = path.back();
        if (frame.next == children[frame.node].size()) {
          state[frame.node] = 2;
          path.pop_back();
          continue;
        }
        const size_t child = children[frame.node][frame.next++];
        if (state[child] == 1) {
          *detail = "node " + std::to_string(child) + " is its own ancestor (the node hierarchy has a cycle)";
          return false;
        }
        if (state[child] == 2) continue;  // shared subtrees were checked once
        state[child] = 1;
        path.push_back({child, 0});
        if (path.size() > kMaxNesting) {
          *detail = TooDeep("nodes");
          return false;
        }
      }
    }
  return true;
}

uint32_t Little32(const char* at) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(at);
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// A COLLADA data array without its count: the library sizes the array from
// the attribute and reads past it when the attribute is missing, so such a
// file is refused here (line of the element named).
bool CheckColladaArrays(std::string_view text, std::string* detail) {
  if (text.find("<COLLADA") == std::string_view::npos) return true;
  static const char* const kArrays[] = {"<float_array", "<int_array", "<Name_array", "<IDREF_array",
                                        "<SIDREF_array", "<bool_array", "<token_array"};
  for (const char* name : kArrays) {
    const std::string_view open = name;
    for (size_t at = text.find(open); at != std::string_view::npos; at = text.find(open, at + open.size())) {
      const size_t after = at + open.size();
      if (after < text.size() && text[after] != ' ' && text[after] != '\t' && text[after] != '\r' &&
          text[after] != '\n' && text[after] != '>' && text[after] != '/')
        continue;  // a longer element name
      const size_t end = text.find('>', after);
      const std::string_view tag = text.substr(after, end == std::string_view::npos ? std::string_view::npos : end - after);
      bool counted = false;
      for (size_t c = tag.find("count"); c != std::string_view::npos && !counted; c = tag.find("count", c + 5)) {
        const bool wordStart = c > 0 && (tag[c - 1] == ' ' || tag[c - 1] == '\t' || tag[c - 1] == '\r' || tag[c - 1] == '\n');
        size_t e = c + 5;
        while (e < tag.size() && (tag[e] == ' ' || tag[e] == '\t')) ++e;
        counted = wordStart && e < tag.size() && tag[e] == '=';
      }
      if (!counted) {
        const size_t line = 1 + size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(at), '\n'));
        *detail = "line " + std::to_string(line) + ": a COLLADA " + std::string(open.substr(1)) +
                  " without its count attribute; such arrays are refused";
        return false;
      }
    }
  }
  return true;
}

bool CheckGlb(std::string_view bytes, std::string* detail) {
  if (bytes.size() < 12 || bytes.substr(0, 4) != "glTF") return true;  // not binary glTF: the library decides
  const uint32_t declared = Little32(bytes.data() + 8);
  if (declared > bytes.size()) {
    *detail = "the GLB header declares " + std::to_string(declared) + " bytes but the file holds " + std::to_string(bytes.size());
    return false;
  }
  size_t at = 12;
  bool first = true;
  while (at + 8 <= declared) {
    const uint32_t length = Little32(bytes.data() + at);
    const uint32_t type = Little32(bytes.data() + at + 4);
    if (uint64_t(length) > uint64_t(declared) - at - 8) {
      *detail = "a GLB chunk at byte " + std::to_string(at) + " declares " + std::to_string(length) + " bytes but only " +
                std::to_string(declared - at - 8) + " follow";
      return false;
    }
    if (first && type == 0x4E4F534Au) {  // "JSON"
      const std::string_view json = bytes.substr(at + 8, length);
      if (!CheckBraceDepth(json, detail) || !CheckGltfNodes(json, detail)) return false;
    }
    first = false;
    at += 8 + size_t(length);
  }
  return true;
}

// The bytes one row of a PLY element takes at least, in the file's format.
struct CPlyElement {
  std::string name;
  uint64_t count = 0;
  uint64_t minimum = 0;  // bytes (binary) or tokens (ASCII) per row
};

size_t PlyTypeSize(std::string_view type) {
  if (type == "char" || type == "uchar" || type == "int8" || type == "uint8") return 1;
  if (type == "short" || type == "ushort" || type == "int16" || type == "uint16") return 2;
  if (type == "int" || type == "uint" || type == "float" || type == "int32" || type == "uint32" || type == "float32") return 4;
  if (type == "double" || type == "float64") return 8;
  return 0;
}

bool CheckPly(std::string_view bytes, std::string* detail) {
  if (bytes.substr(0, 3) != "ply") return true;  // the library says what is wrong
  const size_t end = bytes.find("end_header");
  if (end == std::string_view::npos) {
    *detail = "the PLY header has no end_header line";
    return false;
  }
  size_t bodyAt = bytes.find('\n', end);
  bodyAt = bodyAt == std::string_view::npos ? bytes.size() : bodyAt + 1;
  const uint64_t body = bytes.size() - bodyAt;
  bool binary = false;
  std::vector<CPlyElement> elements;
  std::vector<std::string_view> tokens;
  size_t lineNumber = 0;
  for (size_t at = 0; at < end;) {
    size_t lineEnd = bytes.find('\n', at);
    if (lineEnd == std::string_view::npos || lineEnd > end) lineEnd = end;
    SplitTokens(bytes.substr(at, lineEnd - at), &tokens);
    at = lineEnd + 1;
    ++lineNumber;
    if (tokens.empty()) continue;
    if (tokens[0] == "format" && tokens.size() >= 2) binary = tokens[1] != "ascii";
    if (tokens[0] == "element" && tokens.size() >= 3) {
      CPlyElement element;
      element.name = std::string(tokens[1]);
      double count = 0;
      if (!ParseFiniteNumber(tokens[2], &count) || count < 0 || count != std::floor(count)) {
        *detail = "line " + std::to_string(lineNumber) + ": element " + element.name + " has the count \"" +
                  std::string(tokens[2]) + "\"";
        return false;
      }
      element.count = count > 1e18 ? uint64_t(1e18) : uint64_t(count);
      elements.push_back(element);
    } else if (tokens[0] == "property" && tokens.size() >= 3 && !elements.empty()) {
      const bool list = tokens[1] == "list";
      elements.back().minimum += binary ? PlyTypeSize(list && tokens.size() >= 3 ? tokens[2] : tokens[1]) : 1;
    }
  }
  for (const CPlyElement& element : elements) {
    // ASCII rows: each token takes a character and a separator at least.
    // (A row of no properties takes no bytes but still a turn of the library's
    // loop: counted as one byte, so no count outgrows the file.)
    const uint64_t perRow = std::max<uint64_t>(binary ? element.minimum : 2 * element.minimum, 1);
    if (element.count > (body + 1) / perRow) {
      *detail = "the PLY header declares " + std::to_string(element.count) + " " + element.name + " elements, which need at least " +
                std::to_string(perRow) + " bytes each, but only " + std::to_string(body) + " bytes follow the header";
      return false;
    }
  }
  return true;
}
// COLLADA's index lists (<p>, <vcount>, <v>, <h>) hold whole numbers only.
// The library's reader of them does not advance past anything else (an
// exponent, a decimal point) and grows its index array without end, so a
// list holding anything but digits and white space is refused here (line of
// the element and the token named).
bool CheckColladaIndexLists(std::string_view text, std::string* detail) {
  if (text.find("<COLLADA") == std::string_view::npos) return true;
  static const char* const kLists[] = {"<p", "<vcount", "<v", "<h"};
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (const char* name : kLists) {
    const std::string_view open = name;
    for (size_t at = text.find(open); at != std::string_view::npos; at = text.find(open, at + open.size())) {
      size_t after = at + open.size();
      if (after >= text.size() || (text[after] != '>' && !space(text[after]))) continue;  // a longer element name
      const size_t end = text.find('>', after);
      if (end == std::string_view::npos) break;
      if (text[end - 1] == '/') continue;  // empty
      for (size_t c = end + 1; c < text.size() && text[c] != '<'; ++c) {
        if (space(text[c]) || (text[c] >= '0' && text[c] <= '9')) continue;
        while (c > end + 1 && !space(text[c - 1])) --c;  // the whole token
        size_t stop = c;
        while (stop < text.size() && stop - c < 24 && !space(text[stop]) && text[stop] != '<') ++stop;
        const size_t line = 1 + size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(c), '\n'));
        *detail = "line " + std::to_string(line) + ": a COLLADA " + std::string(open.substr(1)) + " list holds \"" +
                  std::string(text.substr(c, stop - c)) + "\", not a whole number; such lists are refused";
        return false;
      }
    }
  }
  return true;
}

bool LooksLikeText(std::string_view bytes) {
  return std::memchr(bytes.data(), '\0', std::min<size_t>(bytes.size(), 4096)) == nullptr;
}

}  // namespace

bool PrecheckForAssimp(std::string_view bytes, const std::string& format, std::string* detail) {
  // The library chooses its reader by the bytes as well as by the name, so the
  // checks go by the bytes too.
  if (format == "glb" || bytes.substr(0, 4) == "glTF") return CheckGlb(bytes, detail);
  if (format == "ply" || bytes.substr(0, 3) == "ply") return CheckPly(bytes, detail);
  if (!LooksLikeText(bytes)) return true;
  std::string_view text = bytes;
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && text[first] == '<') return CheckXmlDepth(text, detail) && CheckColladaArrays(text, detail) &&
                                                                   CheckColladaIndexLists(text, detail);
  if (!CheckBraceDepth(text, detail)) return false;
  if (format == "gltf" && first != std::string_view::npos && text[first] == '{') return CheckGltfNodes(text, detail);
  return true;
}

}  // namespace cliio
