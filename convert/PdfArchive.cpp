#include "convert/PdfArchive.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <cctype>

#include "convert/PdfSyntax.h"
#include "document/PageReader.h"

#ifndef FOLIREX_VERSION
#define FOLIREX_VERSION "2.0"
#endif

namespace convert {
extern const unsigned char srgbProfileData[];
extern const std::size_t srgbProfileDataSize;
}  // namespace convert

namespace convert::pdf {

namespace {

constexpr char kProducer[] = "folirex-convert " FOLIREX_VERSION;

// A tag's text: UTF-8 where it is, each other byte taken for what it means in Windows-1252's
// ASCII-compatible range (a U+FFFD otherwise), control characters dropped.
std::string tagText(TIFF* tiff, ttag_t tag) {
  char* value = nullptr;
  if (!tiff || !TIFFGetField(tiff, tag, &value) || !value) return "";
  std::u32string text = fromUtf8(std::string(value).substr(0, 65536));  // libtiff ends it
  std::u32string kept;
  for (char32_t c : text)
    if (c >= 0x20 && c != 0x7F) kept += c;
  return toUtf8(kept);
}

// TIFF's "YYYY:MM:DD HH:MM:SS" as XMP's date; empty unless it is one.
std::string isoDate(const std::string& t) {
  if (t.size() < 19) return "";
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return "";
  if (t[4] != ':' || t[7] != ':' || t[10] != ' ' || t[13] != ':' || t[16] != ':') return "";
  int month = std::stoi(t.substr(5, 2)), day = std::stoi(t.substr(8, 2));
  int hour = std::stoi(t.substr(11, 2)), minute = std::stoi(t.substr(14, 2));
  int second = std::stoi(t.substr(17, 2));
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    return "";
  return t.substr(0, 4) + "-" + t.substr(5, 2) + "-" + t.substr(8, 2) + "T" + t.substr(11, 8);
}

std::string pdfDate(const std::string& iso) {
  std::string d = "D:";
  for (char c : iso)
    if (std::isdigit(static_cast<unsigned char>(c))) d += c;
  return d;
}

std::string xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

}  // namespace

Description describe(const OutputSource& source) {
  Description d;
  if (source.document.pageCount() > 0) {
    mdi::PageReader reader(source.document, 0);
    TIFF* tiff = reader.tiff();
    d.title = tagText(tiff, TIFFTAG_DOCUMENTNAME);
    d.subject = tagText(tiff, TIFFTAG_IMAGEDESCRIPTION);
    d.author = tagText(tiff, TIFFTAG_ARTIST);
    d.creator = tagText(tiff, TIFFTAG_SOFTWARE);
    d.created = isoDate(tagText(tiff, TIFFTAG_DATETIME));
  }
  if (!source.title.empty()) d.title = source.title;
  if (!source.author.empty()) d.author = source.author;
  return d;
}

std::string xmpPacket(const Description& d, const OutputSource& source) {
  std::string x =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "<rdf:Description rdf:about=\"\"\n"
      " xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"\n"
      " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
      " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
      " xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
      " xmlns:fxsrc=\"urn:folirex:source:1.0#\"\n"
      " xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\"\n"
      " xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"\n"
      " xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\n"
      "<pdfaid:part>2</pdfaid:part>\n<pdfaid:conformance>B</pdfaid:conformance>\n"
      "<pdf:Producer>" +
      xml(kProducer) + "</pdf:Producer>\n";
  if (!d.title.empty())
    x += "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xml(d.title) +
         "</rdf:li></rdf:Alt></dc:title>\n";
  if (!d.author.empty())
    x += "<dc:creator><rdf:Seq><rdf:li>" + xml(d.author) + "</rdf:li></rdf:Seq></dc:creator>\n";
  if (!d.subject.empty())
    x += "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xml(d.subject) +
         "</rdf:li></rdf:Alt></dc:description>\n";
  if (!d.creator.empty()) x += "<xmp:CreatorTool>" + xml(d.creator) + "</xmp:CreatorTool>\n";
  if (!d.created.empty()) x += "<xmp:CreateDate>" + d.created + "</xmp:CreateDate>\n";
  // The source: its name in Dublin Core's own property, its digest in one of ours, which PDF/A
  // asks to be described in the packet itself.
  if (!source.inputName.empty()) x += "<dc:source>" + xml(source.inputName) + "</dc:source>\n";
  if (!source.inputSha256.empty())
    x += "<fxsrc:sha256>" + source.inputSha256 +
         "</fxsrc:sha256>\n"
         "<pdfaExtension:schemas><rdf:Bag><rdf:li rdf:parseType=\"Resource\">\n"
         "<pdfaSchema:schema>Folirex source file</pdfaSchema:schema>\n"
         "<pdfaSchema:namespaceURI>urn:folirex:source:1.0#</pdfaSchema:namespaceURI>\n"
         "<pdfaSchema:prefix>fxsrc</pdfaSchema:prefix>\n"
         "<pdfaSchema:property><rdf:Seq><rdf:li rdf:parseType=\"Resource\">\n"
         "<pdfaProperty:name>sha256</pdfaProperty:name>\n"
         "<pdfaProperty:valueType>Text</pdfaProperty:valueType>\n"
         "<pdfaProperty:category>external</pdfaProperty:category>\n"
         "<pdfaProperty:description>SHA-256 of the converted file, in hexadecimal"
         "</pdfaProperty:description>\n"
         "</rdf:li></rdf:Seq></pdfaSchema:property>\n"
         "</rdf:li></rdf:Bag></pdfaExtension:schemas>\n";
  return x + "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>\n";
}

void addArchiveParts(QPDF& pdf, const OutputSource& source) {
  Description d = describe(source);
  QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
  auto text = [&](const char* key, const std::string& value) {
    if (!value.empty()) info.replaceKey(key, QPDFObjectHandle::newUnicodeString(value));
  };
  text("/Title", d.title);
  text("/Author", d.author);
  text("/Subject", d.subject);
  text("/Creator", d.creator);
  text("/Producer", kProducer);
  if (!d.created.empty())
    info.replaceKey("/CreationDate", QPDFObjectHandle::newString(pdfDate(d.created)));
  pdf.getTrailer().replaceKey("/Info", pdf.makeIndirectObject(info));

  QPDFObjectHandle root = pdf.getRoot();
  QPDFObjectHandle metadata = QPDFObjectHandle::newStream(&pdf, xmpPacket(d, source));
  metadata.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
  metadata.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
  root.replaceKey("/Metadata", metadata);

  QPDFObjectHandle profile = QPDFObjectHandle::newStream(
      &pdf, std::string(reinterpret_cast<const char*>(srgbProfileData), srgbProfileDataSize));
  profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
  QPDFObjectHandle intent = QPDFObjectHandle::parse(
      "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1)"
      " /Info (sRGB IEC61966-2.1) /RegistryName (http://www.color.org) >>");
  intent.replaceKey("/DestOutputProfile", profile);
  QPDFObjectHandle intents = QPDFObjectHandle::newArray();
  intents.appendItem(intent);
  root.replaceKey("/OutputIntents", intents);
}

}  // namespace convert::pdf
