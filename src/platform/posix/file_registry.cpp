// The file-backed registry store: its text format, its atomic rewrite and the helper semantics.
//
// Store format, one record a line, fields separated by tabs, bytes below 0x20 and '%' written as
// %XX:   K <root> <key path>                 a key that exists (its parents exist implicitly)
//        V <root> <key path> <name> <data>   a value; data holds its bytes, terminating NUL included
#include "platform/posix/file_registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kz::platform {
namespace {

// Not one of the codes the helpers document, but the one Windows gives for a store it cannot write.
constexpr uint32_t kErrorRegistryIo = 1016;

struct Value {
  RegistryRoot root;
  std::string key;
  std::string name;
  std::string data;
};

struct Store {
  std::vector<std::pair<RegistryRoot, std::string>> keys;
  std::vector<Value> values;
};

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

char rootLetter(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? 'M' : 'U'; }

std::string escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool parseRoot(std::string_view field, RegistryRoot& root) {
  if (field == "M") root = RegistryRoot::LocalMachine;
  else if (field == "U") root = RegistryRoot::CurrentUser;
  else return false;
  return true;
}

// A store that cannot be read is an empty one; a line that cannot be parsed is passed over.
Store load(const std::string& path) {
  Store store;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return store;
  std::string content;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
  std::fclose(file);

  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const auto fields = splitTabs(std::string_view(content).substr(start, end - start));
    start = end + 1;
    RegistryRoot root{};
    if (fields.size() < 3 || !parseRoot(fields[1], root)) continue;
    std::string key;
    if (!unescape(fields[2], key)) continue;
    if (fields[0] == "K" && fields.size() == 3) {
      store.keys.emplace_back(root, key);
    } else if (fields[0] == "V" && fields.size() == 5) {
      Value value{root, key, {}, {}};
      if (unescape(fields[3], value.name) && unescape(fields[4], value.data)) {
        store.values.push_back(std::move(value));
      }
    }
  }
  return store;
}

bool save(const std::string& path, const Store& store) {
  std::string content = "# registry store: K root key | V root key name data\n";
  for (const auto& [root, key] : store.keys) {
    content += std::string("K\t") + rootLetter(root) + "\t" + escape(key) + "\n";
  }
  for (const Value& v : store.values) {
    content += std::string("V\t") + rootLetter(v.root) + "\t" + escape(v.key) + "\t" + escape(v.name) +
               "\t" + escape(v.data) + "\n";
  }
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  const int fd = open(temporary.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool complete = written == content.size() && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!complete || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool keyExists(const Store& store, RegistryRoot root, std::string_view keyPath) {
  if (keyPath.empty()) return true;  // the hive's root key always exists
  for (const auto& [keyRoot, key] : store.keys) {
    if (keyRoot != root || key.size() < keyPath.size()) continue;
    if (!sameText(std::string_view(key).substr(0, keyPath.size()), keyPath)) continue;
    if (key.size() == keyPath.size() || key[keyPath.size()] == '\\') return true;
  }
  return false;
}

Value* findValue(Store& store, RegistryRoot root, std::string_view keyPath, std::string_view name) {
  for (Value& v : store.values) {
    if (v.root == root && sameText(v.key, keyPath) && sameText(v.name, name)) return &v;
  }
  return nullptr;
}

}  // namespace

uint32_t FileRegistry::readString(RegistryRoot root, const char* keyPath, const char* valueName,
                                  char* buffer, uint32_t& size) {
  Store store = load(storePath_);
  if (!keyExists(store, root, keyPath != nullptr ? keyPath : "")) {
    size = 0;
    return kErrorFileNotFound;
  }
  const Value* value = findValue(store, root, keyPath != nullptr ? keyPath : "", valueName != nullptr ? valueName : "");
  if (value == nullptr) {
    size = 0;
    return kErrorFileNotFound;
  }
  const auto needed = static_cast<uint32_t>(value->data.size());
  if (buffer == nullptr) {
    size = needed;
    return kErrorSuccess;
  }
  if (size < needed) {
    size = needed;
    return kErrorMoreData;
  }
  std::memcpy(buffer, value->data.data(), needed);
  size = needed;
  return kErrorSuccess;
}

uint32_t FileRegistry::setString(RegistryRoot root, const char* keyPath, const char* valueName,
                                 const char* text) {
  Store store = load(storePath_);
  const std::string key = keyPath != nullptr ? keyPath : "";
  const std::string name = valueName != nullptr ? valueName : "";
  if (!keyExists(store, root, key)) store.keys.emplace_back(root, key);
  std::string data(text, std::strlen(text) + 1);
  if (Value* value = findValue(store, root, key, name)) {
    value->data = std::move(data);
  } else {
    store.values.push_back(Value{root, key, name, std::move(data)});
  }
  return save(storePath_, store) ? kErrorSuccess : kErrorRegistryIo;
}

uint32_t FileRegistry::deleteValue(RegistryRoot root, const char* keyPath, const char* valueName) {
  if (keyPath == nullptr || *keyPath == '\0') return kErrorBadKey;
  Store store = load(storePath_);
  if (!keyExists(store, root, keyPath)) return kErrorFileNotFound;
  const std::string_view name = valueName != nullptr ? valueName : "";
  for (auto it = store.values.begin(); it != store.values.end(); ++it) {
    if (it->root == root && sameText(it->key, keyPath) && sameText(it->name, name)) {
      store.values.erase(it);
      return save(storePath_, store) ? kErrorSuccess : kErrorRegistryIo;
    }
  }
  return kErrorFileNotFound;
}

std::string defaultRegistryStorePath() {
  const char* chosen = std::getenv("KZ_REGISTRY_FILE");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder + "kz-registry.txt";
}

Registry& nativeRegistry() {
  static FileRegistry instance(defaultRegistryStorePath());
  return instance;
}

}  // namespace kz::platform
