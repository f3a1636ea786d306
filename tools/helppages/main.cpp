// zvrx_helppages SOURCE_FOLDER OUT_FOLDER: draws the help pages of
// data/help (see data/help/README.md) with the dialog font and writes each
// as a baseline JPEG without extension, as the viewer reads them. A page
// whose text does not fit, or a source that cannot be read, fails the
// build with the file and line named.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/ui/dialog.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/qt_text.h"

namespace {

using zvrx::platform::ui::BaseUnits;
using zvrx::platform::ui::DialogBaseUnits;
using zvrx::platform::ui::kDialogFontFace;
using zvrx::platform::ui::kDialogFontPoints;

// The viewer's picture areas in dialog units: the page control (less its
// sunken border) and the logo frame.
constexpr int kPageAreaWidth = 214, kPageAreaHeight = 154;
constexpr int kPageControlWidth = 247, kPageControlHeight = 211;
constexpr int kLogoWidth = 69, kLogoHeight = 66;
constexpr int kMargin = 10;
constexpr int kQuality = 92;

const QColor kBand(36, 92, 160);
const QColor kHeading(24, 64, 120);
const QColor kText(20, 20, 20);
const QColor kNote(90, 90, 90);

enum class Kind { kTitle, kHeading, kItem, kNumbered, kNote, kPicture, kParagraph };

struct Line {
  Kind kind = Kind::kParagraph;
  QString text;
  QString marker;  // "1." of a numbered item
  int picture_width = 0;
  int source_line = 0;
};

struct Page {
  QString path;
  std::string picture;
  bool grey = false;
  bool logo = false;
  std::vector<Line> lines;
};

[[noreturn]] void Fail(const QString& where, const QString& what) {
  std::fprintf(stderr, "%s: %s\n", where.toUtf8().constData(), what.toUtf8().constData());
  std::exit(1);
}

Page ReadPage(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Fail(path, "cannot read");
  Page page;
  page.path = path;
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
  for (int n = 0; n < lines.size(); ++n) {
    const QString where = path + ":" + QString::number(n + 1);
    QString text = lines[n];
    if (text.endsWith('\r')) text.chop(1);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith('#')) continue;
    Line line;
    line.source_line = n + 1;
    if (trimmed.startsWith("@picture ")) {
      page.picture = trimmed.mid(9).trimmed().toStdString();
      continue;
    }
    if (trimmed == "@grey") {
      page.grey = true;
      continue;
    }
    if (trimmed == "@size logo") {
      page.logo = true;
      continue;
    }
    if (trimmed.startsWith('@')) Fail(where, "unknown setting " + trimmed);
    if (trimmed.startsWith("== ")) {
      line.kind = Kind::kHeading;
      line.text = trimmed.mid(3);
    } else if (trimmed.startsWith("= ")) {
      line.kind = Kind::kTitle;
      line.text = trimmed.mid(2);
    } else if (trimmed.startsWith("- ")) {
      line.kind = Kind::kItem;
      line.text = trimmed.mid(2);
    } else if (trimmed.startsWith("> ")) {
      line.kind = Kind::kNote;
      line.text = text.mid(text.indexOf('>') + 2);  // blanks after the mark are kept
    } else if (trimmed.startsWith("! ")) {
      const QStringList parts = trimmed.mid(2).split(' ', Qt::SkipEmptyParts);
      bool ok = parts.size() == 2;
      line.kind = Kind::kPicture;
      line.text = parts.value(0);
      line.picture_width = parts.value(1).toInt(&ok);
      if (!ok || line.picture_width <= 0) Fail(where, "expected: ! file.png width");
    } else if (trimmed.size() > 2 && trimmed[0].isDigit() && trimmed[1] == '.' && trimmed[2] == ' ') {
      line.kind = Kind::kNumbered;
      line.marker = trimmed.left(2);
      line.text = trimmed.mid(3);
    } else {
      line.text = trimmed;
    }
    page.lines.push_back(line);
  }
  if (page.picture.empty()) Fail(path, "no @picture line");
  return page;
}

// Draws `text` wrapped to `width` from (x, y); returns the height used.
int DrawWrapped(QPainter* painter, const QFont& font, const QString& text, int x, int y,
                int width) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  const QFontMetrics metrics(font);
  int height = 0;
  while (true) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(width);
    line.setPosition(QPointF(0, height));
    height += metrics.lineSpacing();
  }
  layout.endLayout();
  if (painter != nullptr) layout.draw(painter, QPointF(x, y));
  return height;
}

// Lays the page out (and draws it when `painter` is given); returns the
// bottom of the last line.
int Lay(const Page& page, const QFont& body, QPainter* painter, int width, const QDir& folder) {
  QFont title = body;
  title.setBold(true);
  title.setPointSizeF(body.pointSizeF() * (page.logo ? 1.6 : 1.35));
  QFont heading = body;
  heading.setBold(true);
  const QFontMetrics body_metrics(body);
  const int indent = body_metrics.horizontalAdvance(QString::fromUtf8("　"));
  int y = page.logo ? 6 : 0;
  for (const Line& line : page.lines) {
    switch (line.kind) {
      case Kind::kTitle: {
        const int band = QFontMetrics(title).height() + 8;
        if (painter != nullptr) {
          if (!page.logo) painter->fillRect(0, y, width, band, kBand);
          painter->setPen(page.logo ? kBand : Qt::white);
          painter->setFont(title);
          const int x = page.logo ? (width - QFontMetrics(title).horizontalAdvance(line.text)) / 2
                                  : kMargin;
          painter->drawText(x, y + 4 + QFontMetrics(title).ascent(), line.text);
        }
        y += page.logo ? band - 4 : band + 6;
        break;
      }
      case Kind::kHeading:
        y += 3;
        if (painter != nullptr) {
          painter->setPen(kHeading);
          painter->drawLine(kMargin, y + QFontMetrics(heading).height(), width - kMargin,
                            y + QFontMetrics(heading).height());
          painter->setFont(heading);
        }
        y += DrawWrapped(painter, heading, line.text, kMargin, y, width - 2 * kMargin) + 3;
        break;
      case Kind::kItem:
      case Kind::kNumbered: {
        const QString mark = line.kind == Kind::kItem ? QString::fromUtf8("・") : line.marker;
        if (painter != nullptr) {
          painter->setPen(kText);
          painter->setFont(body);
          painter->drawText(kMargin, y + body_metrics.ascent(), mark);
        }
        y += DrawWrapped(painter, body, line.text, kMargin + indent + 2, y,
                         width - 2 * kMargin - indent - 2);
        break;
      }
      case Kind::kNote:
        if (painter != nullptr) {
          painter->setPen(kNote);
          painter->setFont(body);
        }
        y += 2 + DrawWrapped(painter, body, line.text, kMargin + indent, y + 2,
                             width - 2 * kMargin - indent);
        break;
      case Kind::kPicture: {
        QImage picture(folder.filePath(line.text));
        if (picture.isNull()) Fail(page.path + ":" + QString::number(line.source_line),
                                   "cannot read " + line.text);
        picture = picture.scaledToWidth(line.picture_width, Qt::SmoothTransformation);
        if (painter != nullptr) painter->drawImage((width - picture.width()) / 2, y + 2, picture);
        y += picture.height() + 6;
        break;
      }
      case Kind::kParagraph:
        if (painter != nullptr) {
          painter->setPen(kText);
          painter->setFont(body);
        }
        y += DrawWrapped(painter, body, line.text, kMargin, y, width - 2 * kMargin) + 2;
        break;
    }
  }
  return y;
}

bool WriteJpeg(const QImage& image, bool grey, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);  // baseline, Huffman, no progression
  jpeg_set_quality(&cinfo, kQuality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(image.width()) * cinfo.input_components);
  while (cinfo.next_scanline < cinfo.image_height) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(cinfo.next_scanline));
    for (int x = 0; x < image.width(); ++x) {
      if (grey) {
        row[x] = static_cast<JSAMPLE>(qGray(pixels[x]));
      } else {
        row[3 * x] = static_cast<JSAMPLE>(qRed(pixels[x]));
        row[3 * x + 1] = static_cast<JSAMPLE>(qGreen(pixels[x]));
        row[3 * x + 2] = static_cast<JSAMPLE>(qBlue(pixels[x]));
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zvrx_helppages SOURCE_FOLDER OUT_FOLDER\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  const QString out = QString::fromLocal8Bit(argv[2]);
  if (!QDir().mkpath(out)) Fail(out, "cannot create");

  // The sizes in pixels the viewer gives these pictures, from the base
  // units of the dialog font, as the viewer measures them.
  const BaseUnits base = DialogBaseUnits(kDialogFontPoints, kDialogFontFace);
  const int control_width = kPageControlWidth * base.x / 4 - 2;
  const int control_height = kPageControlHeight * base.y / 8 - 2;
  const int page_width = std::min(kPageAreaWidth * base.x / 4 - 4, control_width);
  const int page_height = std::min(kPageAreaHeight * base.y / 8 - 4, control_height);
  const int logo_width = kLogoWidth * base.x / 4 - 2;
  const int logo_height = kLogoHeight * base.y / 8 - 2;
  const QFont body = zvrx::platform::ui::DialogFont(kDialogFontPoints, kDialogFontFace);

  const QStringList sources = folder.entryList({"*.txt"}, QDir::Files, QDir::Name);
  if (sources.isEmpty()) Fail(folder.path(), "no *.txt sources");
  bool failed = false;
  for (const QString& name : sources) {
    const Page page = ReadPage(folder.filePath(name));
    const int width = page.logo ? logo_width : page_width;
    const int height = page.logo ? logo_height : page_height;
    const int used = Lay(page, body, nullptr, width, folder);
    if (used > height) {
      std::fprintf(stderr, "%s: the text takes %d pixels of the page's %d x %d\n",
                   page.path.toUtf8().constData(), used, width, height);
      failed = true;
      continue;
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::TextAntialiasing);
      if (page.logo) {
        // A soft band behind the name.
        QLinearGradient shade(0, 0, 0, height);
        shade.setColorAt(0, QColor(235, 242, 252));
        shade.setColorAt(1, QColor(200, 218, 240));
        painter.fillRect(0, 0, width, height, shade);
      }
      Lay(page, body, &painter, width, folder);
    }
    const std::string target = (out + "/" + QString::fromStdString(page.picture)).toStdString();
    if (!WriteJpeg(image, page.grey, target)) Fail(QString::fromStdString(target), "cannot write");
  }
  return failed ? 1 : 0;
}
