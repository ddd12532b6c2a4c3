// Writes the tests' PDF documents with a correct cross-reference table.
#include "tests/pdfcontrol/TestPdf.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

namespace testpdf {

namespace {

class Writer {
 public:
  int Add(const std::string& body) {
    objects_.push_back(body);
    return int(objects_.size());
  }
  void Set(int number, const std::string& body) { objects_[number - 1] = body; }
  std::string Finish(int root, const std::string& extra_trailer) const {
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects_.size(); ++i) {
      offsets.push_back(out.size());
      out += std::to_string(i + 1) + " 0 obj\n" + objects_[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects_.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t offset : offsets) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
      out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects_.size() + 1) + " /Root " + std::to_string(root) + " 0 R " +
           extra_trailer + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
  }

 private:
  std::vector<std::string> objects_;
};

std::string Stream(const std::string& dictionary, const std::string& data) {
  return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

}  // namespace

constexpr char kHelvetica[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

static std::string Build(const std::vector<Page>& pages, const std::string& extra_catalog,
                         const std::vector<std::string>& extra_objects, const std::string& extra_trailer,
                         const std::string& font = kHelvetica) {
  Writer w;
  const int catalog = w.Add("");
  const int tree = w.Add("");
  const int f1 = w.Add(font);
  const int square = w.Add(Stream("", "1000 0 0 0 1000 1000 d1 0 0 1000 1000 re f"));
  const int type3 = w.Add(
      "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
      "/FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << /a " +
      std::to_string(square) +
      " 0 R >> /Encoding << /Type /Encoding "
      "/Differences [97 /a] >> /FirstChar 97 /LastChar 97 /Widths [1000] >>");
  std::string kids;
  for (const Page& page : pages) {
    const int content = w.Add(Stream("", page.content));
    const int number =
        w.Add("<< /Type /Page /Parent " + std::to_string(tree) + " 0 R /MediaBox [0 0 " + std::to_string(page.width) +
              " " + std::to_string(page.height) + "] /Resources << /Font << /F1 " + std::to_string(f1) + " 0 R /F2 " +
              std::to_string(type3) + " 0 R >> >> /Contents " + std::to_string(content) + " 0 R" +
              (page.annots.empty() ? "" : " /Annots [" + page.annots + "]") + " >>");
    kids += std::to_string(number) + " 0 R ";
  }
  for (const std::string& object : extra_objects) w.Add(object);
  w.Set(catalog, "<< /Type /Catalog /Pages " + std::to_string(tree) + " 0 R " + extra_catalog + " >>");
  w.Set(tree, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
  return w.Finish(catalog, extra_trailer);
}

std::string Document(const std::vector<Page>& pages, const std::string& extra_trailer) {
  return Build(pages, "", {}, extra_trailer);
}

std::string Document(const std::vector<Page>& pages, const std::string& extra_catalog,
                     const std::vector<std::string>& extra_objects) {
  return Build(pages, extra_catalog, extra_objects, "");
}

std::string WithFont(const std::vector<Page>& pages, const std::string& font,
                     const std::vector<std::string>& extra_objects) {
  return Build(pages, "", extra_objects, "", font);
}

std::string Encrypted() {
  // O and U that no empty password produces.
  const std::string key32 = "<" + std::string(64, 'A') + ">";
  Writer w;
  const int catalog = w.Add("<< /Type /Catalog /Pages 2 0 R >>");
  w.Add("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>");
  const int encrypt = w.Add("<< /Filter /Standard /V 1 /R 2 /O " + key32 + " /U " + key32 + " /P -4 >>");
  return w.Finish(catalog, "/Encrypt " + std::to_string(encrypt) +
                               " 0 R /ID [<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>]");
}

namespace {

// The standard security handler's padding of passwords.
const unsigned char kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                    0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                    0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

std::string Md5(const std::string& data) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  std::string digest(16, '\0');
  DWORD size = 16;
  CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
  CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
  CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()), 0);
  CryptGetHashParam(hash, HP_HASHVAL, reinterpret_cast<BYTE*>(digest.data()), &size, 0);
  CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return digest;
}

std::string Rc4(const std::string& key, std::string data) {
  unsigned char state[256];
  for (int i = 0; i < 256; ++i) state[i] = static_cast<unsigned char>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + state[i] + static_cast<unsigned char>(key[size_t(i) % key.size()])) & 255;
    std::swap(state[i], state[j]);
  }
  for (size_t n = 0, i = 0, j = 0; n < data.size(); ++n) {
    i = (i + 1) & 255;
    j = (j + state[i]) & 255;
    std::swap(state[i], state[j]);
    data[n] = char(data[n] ^ state[(state[i] + state[j]) & 255]);
  }
  return data;
}

std::string Padded(const std::string& password) {
  return (password + std::string(reinterpret_cast<const char*>(kPadding), 32)).substr(0, 32);
}

std::string Hex(const std::string& bytes) {
  std::string out = "<";
  char digits[3];
  for (char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    out += digits;
  }
  return out + ">";
}

}  // namespace

std::string PrintForbidden() {
  // Revision 2, 40-bit keys: everything allowed but printing (bit 3 of /P clear).
  const int32_t permissions = -8;
  const std::string id(16, '\x5A');
  const std::string owner = Rc4(Md5(Padded("owner")).substr(0, 5), Padded(""));
  std::string p(4, '\0');
  for (int i = 0; i < 4; ++i) p[size_t(i)] = char(uint32_t(permissions) >> (8 * i));
  const std::string key = Md5(Padded("") + owner + p + id).substr(0, 5);
  const std::string user = Rc4(key, Padded(""));
  Writer w;
  const int catalog = w.Add("<< /Type /Catalog /Pages 2 0 R >>");
  w.Add("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>");
  const int encrypt = w.Add("<< /Filter /Standard /V 1 /R 2 /O " + Hex(owner) + " /U " + Hex(user) + " /P " +
                            std::to_string(permissions) + " >>");
  return w.Finish(catalog, "/Encrypt " + std::to_string(encrypt) + " 0 R /ID [" + Hex(id) + " " + Hex(id) + "]");
}

}  // namespace testpdf
