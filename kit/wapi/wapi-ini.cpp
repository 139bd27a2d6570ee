// Profile (ini) files over a cache of parsed file contexts.
#include "kit/wapi/wapi-ini.h"

#include "kit/mutex.h"
#include "kit/safefile.h"
#include "kit/stringkeyedarray.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kContexts = 32;
constexpr uint64_t kHeaderlessLimit = 0x40000;  // bytes read before the first header
constexpr size_t kLineLimit = 0x2000000;        // longer lines are skipped to their end
constexpr size_t kNameLimit = 1015;             // longest file name a write accepts
constexpr size_t kSectionKeyLimit = 8191;       // longest key of WritePrivateProfileSection

void disposeValue(std::string* v) {
  delete v;
}
using Section = KIT_StringKeyedArray<std::string*>;
void disposeSection(Section* s) {
  delete s;
}
using Sections = KIT_StringKeyedArray<Section*>;

// What tells a changed file: size, modification time to the nanosecond, and which file it is
// (a writer that renames over the name makes a new one). All zero while the file is missing.
struct FileStamp {
  uint64_t mSize = 0, mTimeNs = 0, mDev = 0, mIno = 0;
  bool operator==(const FileStamp& o) const {
    return mSize == o.mSize && mTimeNs == o.mTimeNs && mDev == o.mDev && mIno == o.mIno;
  }
};

FileStamp stampOf(const struct stat& st) {
  FileStamp s;
  s.mSize = uint64_t(st.st_size);
  s.mTimeNs = uint64_t(st.st_mtim.tv_sec) * 1000000000u + uint64_t(st.st_mtim.tv_nsec);
  s.mDev = uint64_t(st.st_dev), s.mIno = uint64_t(st.st_ino);
  return s;
}

FileStamp stampOf(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 ? stampOf(st) : FileStamp();
}

struct iniFileContext {
  uint64_t mAccess = 0;
  FileStamp mStamp;
  bool mUsed = false;
  bool mStale = false;   // a failed write left memory ahead of the disk
  bool mUnread = false;  // the file exists but could not be read whole: never written over
  std::string mName;
  size_t mNameHash = 0;  // spares the name comparisons of the slot scan
  Sections mSections{false, disposeSection};
};

struct IniState {
  KIT_Mutex m_mutex;
  iniFileContext s_ctxs[kContexts];
  uint64_t mClock = 0;
  std::string mLine;  // shared by all reads, under the mutex
  std::vector<char> mChunk = std::vector<char>(65536);
};

// Made on first use and never destroyed: a thread still calling at exit finds it whole.
IniState& state() {
  static IniState* s = new IniState;
  return *s;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// Reads one file into a context, line by line.
class Parser {
 public:
  explicit Parser(Sections& out) : mOut(out) {}

  void line(const char* b, size_t n) {
    n = strnlen(b, n);  // a zero byte ends the line's text
    while (n > 0 && (b[n - 1] == '\t' || b[n - 1] == '\n' || b[n - 1] == '\r' || b[n - 1] == ' ')) --n;
    while (n > 0 && isBlank(*b)) ++b, --n;
    if (n == 0) return;
    if (*b == '[') {
      const char* close = static_cast<const char*>(memchr(b, ']', n));
      if (!close) return;
      mSeenHeader = true;
      finishSection();
      std::string name(b + 1, close);
      if (name.empty()) return;
      std::string folded = name;
      for (char& c : folded) c = char(tolower(static_cast<unsigned char>(c)));
      auto it = mByName.find(folded);
      if (it != mByName.end()) {
        mCurrent = it->second;
        mCurrent->DeleteAll();  // a repeated header starts the section afresh
      } else {
        mCurrent = new Section(false, disposeValue);
        mByName.emplace(folded, mCurrent);
        mOut.AddUnsorted(name.c_str(), mCurrent);
      }
      return;
    }
    const char* eq = static_cast<const char*>(memchr(b, '=', n));
    if (!mCurrent || !eq || eq == b) return;
    mKey.assign(b, eq);
    mCurrent->AddUnsorted(mKey.c_str(), new std::string(eq + 1, b + n));
  }

  void finish() {
    finishSection();
    mOut.Resort();
  }
  bool seenHeader() const { return mSeenHeader; }

 private:
  void finishSection() {
    if (mCurrent) mCurrent->Resort();  // of same-named keys the last line stays
    mCurrent = nullptr;
  }

  Sections& mOut;
  Section* mCurrent = nullptr;
  bool mSeenHeader = false;
  std::string mKey;
  std::unordered_map<std::string, Section*> mByName;
};

// Parses the whole file; false when a read failed (what was parsed is then dropped).
bool parseFile(int fd, Sections& out) {
  IniState& s = state();
  std::string& line = s.mLine;
  line.clear();
  Parser parser(out);
  bool skipping = false;
  uint64_t total = 0;
  for (;;) {
    ssize_t got = ::read(fd, s.mChunk.data(), s.mChunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      out.DeleteAll();
      line.clear();
      return false;
    }
    if (got == 0) break;
    const char* p = s.mChunk.data();
    const char* end = p + got;
    while (p < end) {
      const char* nl = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
      const char* stop = nl ? nl : end;
      size_t n = size_t(stop - p);
      total += n + (nl ? 1 : 0);
      if (nl && line.empty() && !skipping) {
        parser.line(p, n);  // the whole line lies in the chunk
      } else if (!skipping) {
        if (line.size() + n > kLineLimit) {
          skipping = true;
          line.clear();
        } else {
          if (line.capacity() < line.size() + n) line.reserve((line.size() + n + 8191) / 8192 * 8192);
          line.append(p, n);
          if (nl) parser.line(line.data(), line.size());
        }
      }
      if (nl) line.clear(), skipping = false;
      p = nl ? nl + 1 : end;
      if (!parser.seenHeader() && total >= kHeaderlessLimit) {
        out.DeleteAll();  // no header this far in: not an ini file
        line.clear();
        return true;
      }
    }
  }
  if (!skipping && !line.empty()) parser.line(line.data(), line.size());
  line.clear();
  parser.finish();
  return true;
}

int lockShared(int fd) {
  int r;
  while ((r = ::flock(fd, LOCK_SH)) != 0 && errno == EINTR) {}
  return r;
}

iniFileContext& lookup(const char* name) {
  IniState& s = state();
  iniFileContext* c = nullptr;
  const size_t hash = std::hash<std::string_view>()(name);
  for (auto& ctx : s.s_ctxs)
    if (ctx.mUsed && ctx.mNameHash == hash && ctx.mName == name) {
      c = &ctx;
      break;
    }
  for (int i = 0; !c && i < kContexts; ++i)
    if (!s.s_ctxs[i].mUsed) c = &s.s_ctxs[i];
  if (!c) {
    c = &s.s_ctxs[0];
    for (auto& ctx : s.s_ctxs)
      if (ctx.mAccess < c->mAccess) c = &ctx;
  }
  c->mAccess = ++s.mClock;
  bool same = c->mUsed && c->mName == name;
  // An unread context's empty stamp would match a file removed since: it is tried again.
  if (same && !c->mStale && !c->mUnread && stampOf(c->mName) == c->mStamp) return *c;

  c->mSections.DeleteAll();
  if (!same) c->mName = name, c->mNameHash = hash;
  c->mUsed = true, c->mStale = false, c->mUnread = false, c->mStamp = FileStamp();
  // Non-blocking, so that a name that turns out to be a pipe never waits for a writer.
  int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // Only a missing file reads as empty; any other file would be lost to the next write.
    c->mUnread = errno != ENOENT;
    return *c;
  }
  struct stat st;
  bool whole = lockShared(fd) == 0 && ::fstat(fd, &st) == 0;
  if (whole && S_ISREG(st.st_mode)) whole = parseFile(fd, c->mSections);
  if (whole && ::fstat(fd, &st) == 0) {
    c->mStamp = stampOf(st);
  } else {
    // The stamp stays empty, so the next call tries the file again.
    c->mSections.DeleteAll();
    c->mUnread = true;
  }
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return *c;
}

// Writes the whole context. A failure leaves the old file whole, and the context stale so that
// the next call reads what the disk holds.
bool writeBack(iniFileContext& c) {
  std::string image;
  for (int i = 0; i < c.mSections.GetSize(); ++i) {
    const char* name = nullptr;
    Section* sec = c.mSections.Enumerate(i, &name);
    image.append("[").append(name).append("]\n");
    for (int k = 0; k < sec->GetSize(); ++k) {
      const char* key = nullptr;
      std::string* value = sec->Enumerate(k, &key);
      if (*key) image.append(key).append("=").append(*value).append("\n");
    }
    image.append("\n");
  }
  if (!kit::WriteFileReplacing(c.mName, image.data(), image.size())) {
    c.mStale = true;
    return false;
  }
  c.mStamp = stampOf(c.mName);
  return true;
}

// Value as read: leading and trailing blanks dropped, then one pair of matching quotes.
void trimmedValue(const std::string& v, const char** b, size_t* n) {
  const char* p = v.data();
  size_t len = v.size();
  while (len > 0 && isBlank(*p)) ++p, --len;
  while (len > 0 && isBlank(p[len - 1])) --len;
  if (len >= 2 && (*p == '"' || *p == '\'') && p[len - 1] == *p) ++p, len -= 2;
  *b = p, *n = len;
}

// What the file could not give back is refused rather than written.
bool hasAny(const char* s, const char* chars) {
  return strpbrk(s, chars) != nullptr;
}
bool sectionNameWritable(const char* s) {
  return *s && !hasAny(s, "]\r\n");
}
bool keyWritable(const char* k) {
  return *k && *k != '[' && !isBlank(*k) && !hasAny(k, "=\r\n");
}
bool valueWritable(const char* v) {
  return !hasAny(v, "\r\n");
}
bool fileNameWritable(const char* f) {
  return f && *f && strlen(f) <= kNameLimit;
}

Section* sectionOf(iniFileContext* c, const char* section) {
  return c && section ? c->mSections.Get(section, nullptr) : nullptr;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer, int size,
                            const char* fileName) {
  if (!buffer || size < 1) return 0;
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  iniFileContext* c = fileName && *fileName ? &lookup(fileName) : nullptr;
  if (!section || !key) {
    if (size < 2) return 0;
    std::string list;  // every non-empty name with its zero byte
    auto addAll = [&list](auto& array) {
      for (int i = 0; i < array.GetSize(); ++i) {
        const char* name = nullptr;
        array.Enumerate(i, &name);
        if (*name) list.append(name, strlen(name) + 1);
      }
    };
    if (!section) {
      if (c) addAll(c->mSections);
    } else if (Section* sec = sectionOf(c, section)) {
      addAll(*sec);
    }
    size_t n = list.empty() ? 0 : std::min(size_t(size) - 2, list.size() - 1);
    memcpy(buffer, list.data(), n);
    buffer[n] = 0, buffer[n + 1] = 0;
    return int(n);
  }
  const char* text = defaultValue ? defaultValue : "";
  size_t len = strlen(text);
  if (Section* sec = sectionOf(c, section))
    if (std::string* value = sec->Get(key, nullptr)) trimmedValue(*value, &text, &len);
  if (len > size_t(size) - 1) len = size_t(size) - 1;
  memmove(buffer, text, len);
  buffer[len] = 0;
  return int(len);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName) {
  if (!section || !key) return defaultValue;
  char text[512];
  if (GetPrivateProfileString(section, key, "", text, sizeof text, fileName) == 0) return defaultValue;
  // As atoi, but a number beyond int saturates instead of being undefined.
  long long v = strtoll(text, nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return v != 0 || text[0] == '0' ? int(v) : defaultValue;
}

int GetPrivateProfileSection(const char* section, char* buffer, unsigned int size, const char* fileName) {
  if (!buffer || size < 2) {
    if (buffer && size == 1) buffer[0] = 0;
    return 0;
  }
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  Section* sec = fileName && *fileName ? sectionOf(&lookup(fileName), section) : nullptr;
  const size_t room = size_t(size) - 2;
  size_t n = 0;
  bool cut = false;
  auto put = [&](const char* p, size_t len) {
    size_t take = len;
    if (n + len > room) take = room > n ? room - n : 0, cut = true;
    memcpy(buffer + n, p, take);
    n += take;
  };
  for (int i = 0; sec && i < sec->GetSize(); ++i) {
    const char* key = nullptr;
    std::string* value = sec->Enumerate(i, &key);
    put(key, strlen(key));
    put("=", 1);
    const char* v;
    size_t len;
    trimmedValue(*value, &v, &len);
    put(v, len);
    if (cut) {  // full: the entry is cut and the list ends here
      buffer[room] = 0, buffer[room + 1] = 0;
      return int(room);
    }
    buffer[n++] = 0;
  }
  buffer[n] = 0;
  if (n == 0) buffer[1] = 0;
  return int(n);
}

BOOL GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* fileName) {
  if (!section || !key || size < 0 || size > (INT_MAX - 17) / 2 || (!out && size > 0)) return false;
  std::vector<char> text(size_t(size) * 2 + 17);
  if (GetPrivateProfileString(section, key, "", text.data(), int(text.size()), fileName) != size * 2 + 2) return false;
  unsigned char* bytes = static_cast<unsigned char*>(out);
  unsigned sum = 0;
  for (int i = 0; i <= size; ++i) {
    int hi = hexDigit(text[size_t(i) * 2]), lo = hexDigit(text[size_t(i) * 2 + 1]);
    if (hi < 0 || lo < 0) return false;
    unsigned byte = unsigned(hi * 16 + lo);
    if (i == size) return byte == (sum & 0xFF);
    bytes[i] = static_cast<unsigned char>(byte);
    sum += byte;
  }
  return false;
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName) {
  if (!section || (key && !*key) || !fileNameWritable(fileName)) return false;
  if (key && value && (!sectionNameWritable(section) || !keyWritable(key) || !valueWritable(value))) return false;
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  iniFileContext& c = lookup(fileName);
  if (c.mUnread) return false;
  if (!key) {
    int i = c.mSections.GetIdx(section);
    if (i < 0) return true;
    c.mSections.DeleteByIndex(i);
    return writeBack(c);
  }
  Section* sec = sectionOf(&c, section);
  if (!value) {
    if (!sec || !sec->Exists(key)) return true;
    sec->Delete(key);
    return writeBack(c);
  }
  if (sec) {
    std::string* old = sec->Get(key, nullptr);
    if (old && *old == value) return true;  // unchanged: the file keeps its time
  } else {
    sec = new Section(false, disposeValue);
    c.mSections.Insert(section, sec);
  }
  sec->Insert(key, new std::string(value));
  return writeBack(c);
}

BOOL WritePrivateProfileSection(const char* section, const char* data, const char* fileName) {
  if (!section || !fileNameWritable(fileName)) return false;
  std::vector<std::pair<std::string, const char*>> pairs;
  for (const char* p = data; p && *p; p += strlen(p) + 1) {
    const char* eq = strchr(p, '=');
    if (!eq || eq == p) continue;
    std::string key(p, eq);
    if (key.size() > kSectionKeyLimit || !keyWritable(key.c_str()) || !valueWritable(eq + 1)) return false;
    pairs.emplace_back(std::move(key), eq + 1);
  }
  const bool empty = !data || !*data;
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  iniFileContext& c = lookup(fileName);
  if (c.mUnread) return false;
  Section* sec = sectionOf(&c, section);
  if (sec) {
    sec->DeleteAll();
  } else {
    if (empty) return true;
    if (!sectionNameWritable(section)) return false;
    sec = new Section(false, disposeValue);
    c.mSections.Insert(section, sec);
  }
  for (auto& kv : pairs) sec->Insert(kv.first.c_str(), new std::string(kv.second));
  return writeBack(c);
}

BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* fileName) {
  if (!key || !data) return WritePrivateProfileString(section, key, static_cast<const char*>(data), fileName);
  if (size < 0 || size > (INT_MAX - 3) / 2) return false;
  static const char kDigits[] = "0123456789ABCDEF";
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  text.reserve(size_t(size) * 2 + 2);
  unsigned sum = 0;
  for (int i = 0; i <= size; ++i) {
    unsigned byte = i < size ? bytes[i] : (sum & 0xFF);
    sum += byte;
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 15]);
  }
  return WritePrivateProfileString(section, key, text.c_str(), fileName);
}

namespace wapi_ini {

bool IsCached(const char* fileName) {
  if (!fileName) return false;
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  for (auto& ctx : s.s_ctxs)
    if (ctx.mUsed && ctx.mName == fileName) return true;
  return false;
}

void ForgetAll() {
  IniState& s = state();
  KIT_MutexLock lock(&s.m_mutex);
  for (auto& ctx : s.s_ctxs) {
    ctx.mSections.DeleteAll();
    ctx.mUsed = false, ctx.mStale = false, ctx.mUnread = false, ctx.mAccess = 0;
    ctx.mName.clear();
    ctx.mStamp = FileStamp();
  }
}

}  // namespace wapi_ini
