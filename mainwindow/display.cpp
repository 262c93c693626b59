// The live picture, the pixel read-out and the full-screen layouts.
#include "RunningDataManager.h"
#include "tessary_interface.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TESSARY_X86_SIMD 1
#endif

namespace {

// The picture label shows its pixmap smooth-scaled to its size, and it would
// scale every new frame again: a colour conversion and a four-channel filter
// per paint. It is therefore handed the gray frame already scaled to its
// size, on one channel with the label's own arithmetic (weights in 1/256,
// first between two rows, then along the row, truncating after each step),
// so it draws the very same pixels without scaling them.

// Where one output pixel reads: a source pixel and the weight, in 1/256, of
// the one after it.
struct Tap
{
    int index;
    unsigned weight;
};

// Pixel centres mapped in 16.16 fixed point, as the label's filter does.
std::vector<Tap> upscaleTaps(int from, int to)
{
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    qint64 position = 0x8000 * from / to - 0x8000;
    const qint64 step = (qint64(from) << 16) / to;
    for (Tap& tap : taps) {
        const qint64 whole = position >> 16;
        tap.index = int(std::max<qint64>(whole, 0));
        tap.weight = whole < 0 || whole >= from - 1 ? 0 : unsigned((position >> 8) & 0xff);
        position += step;
    }
    return taps;
}

inline unsigned blend(unsigned a, unsigned b, unsigned weight)
{
    return (a * (256 - weight) + b * weight) >> 8;
}

inline QRgb opaqueGray(unsigned v)
{
    return 0xFF000000u | v * 0x010101u;
}

void blendRows(const uchar* top, const uchar* bottom, unsigned weight, uchar* out, int n)
{
    int i = 0;
#ifdef TESSARY_X86_SIMD
    const __m128i keep = _mm_set1_epi16(short(256 - weight));
    const __m128i take = _mm_set1_epi16(short(weight));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + i));
        const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), keep),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), take));
        const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), keep),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), take));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < n; ++i)
        out[i] = uchar(blend(top[i], bottom[i], weight));
}

void spreadRow(const uchar* line, const std::vector<Tap>& taps, QRgb* out)
{
    for (std::size_t x = 0; x < taps.size(); ++x) {
        const Tap& t = taps[x];
        out[x] = opaqueGray(blend(line[t.index], line[t.index + 1], t.weight));
    }
}

#ifdef TESSARY_X86_SIMD
// Sixteen output pixels of a row, read from one 16-byte window of the line.
struct Spread16
{
    int start;
    uint8_t left[16], right[16];
    uint16_t keep[16], take[16];
};

// Empty when some sixteen outputs reach past one window (scaling up by less
// than about 1.07).
std::vector<Spread16> spreadGroups(const std::vector<Tap>& taps)
{
    const int width = int(taps.size());
    std::vector<Spread16> groups((taps.size() + 15) / 16);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        Spread16& group = groups[g];
        group.start = taps[16 * g].index;
        for (int j = 0; j < 16; ++j) {
            const Tap& t = taps[std::size_t(std::min(int(16 * g) + j, width - 1))];
            const int offset = t.index - group.start;
            if (offset + 1 > 15)
                return {};
            group.left[j] = uint8_t(offset);
            group.right[j] = uint8_t(t.weight ? offset + 1 : offset);
            group.keep[j] = uint16_t(256 - t.weight);
            group.take[j] = uint16_t(t.weight);
        }
    }
    return groups;
}

__attribute__((target("ssse3"))) void
spreadRowSsse3(const uchar* line, const std::vector<Spread16>& groups, QRgb* out, int width)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const std::size_t count = groups.size();
    for (std::size_t g = 0; g < count; ++g) {
        const Spread16& group = groups[g];
        const auto vec = [](const void* p) {
            return _mm_loadu_si128(static_cast<const __m128i*>(p));
        };
        const __m128i window = vec(line + group.start);
        const __m128i l = _mm_shuffle_epi8(window, vec(group.left));
        const __m128i r = _mm_shuffle_epi8(window, vec(group.right));
        const __m128i lo =
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(l, zero), vec(group.keep)),
                          _mm_mullo_epi16(_mm_unpacklo_epi8(r, zero), vec(group.take)));
        const __m128i hi =
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(l, zero), vec(group.keep + 8)),
                          _mm_mullo_epi16(_mm_unpackhi_epi8(r, zero), vec(group.take + 8)));
        const __m128i gray = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
        const __m128i pairsLo = _mm_unpacklo_epi8(gray, gray);
        const __m128i pairsHi = _mm_unpackhi_epi8(gray, gray);
        const __m128i p0 = _mm_or_si128(_mm_unpacklo_epi16(pairsLo, pairsLo), alpha);
        const __m128i p1 = _mm_or_si128(_mm_unpackhi_epi16(pairsLo, pairsLo), alpha);
        const __m128i p2 = _mm_or_si128(_mm_unpacklo_epi16(pairsHi, pairsHi), alpha);
        const __m128i p3 = _mm_or_si128(_mm_unpackhi_epi16(pairsHi, pairsHi), alpha);
        const int x = int(16 * g);
        if (x + 16 <= width) {
            __m128i* to = reinterpret_cast<__m128i*>(out + x);
            _mm_storeu_si128(to, p0);
            _mm_storeu_si128(to + 1, p1);
            _mm_storeu_si128(to + 2, p2);
            _mm_storeu_si128(to + 3, p3);
        } else {
            alignas(16) QRgb last[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(last), p0);
            _mm_store_si128(reinterpret_cast<__m128i*>(last + 4), p1);
            _mm_store_si128(reinterpret_cast<__m128i*>(last + 8), p2);
            _mm_store_si128(reinterpret_cast<__m128i*>(last + 12), p3);
            std::memcpy(out + x, last, std::size_t(width - x) * sizeof(QRgb));
        }
    }
}
#endif

// The gray frame smooth-scaled up to `size`, pixel for pixel what
// QImage::scaled gives with Qt::SmoothTransformation.
QImage scaleGrayUp(const QImage& frame, const QSize& size)
{
    const int sw = frame.width();
    const std::vector<Tap> across = upscaleTaps(sw, size.width());
    const std::vector<Tap> down = upscaleTaps(frame.height(), size.height());
    QImage out(size, QImage::Format_RGB32);
    // One blended row, with room for a full window past its end.
    std::vector<uchar> line(std::size_t(sw) + 16);
#ifdef TESSARY_X86_SIMD
    const std::vector<Spread16> groups =
        __builtin_cpu_supports("ssse3") ? spreadGroups(across) : std::vector<Spread16>();
#endif
    for (int y = 0; y < size.height(); ++y) {
        const Tap& t = down[std::size_t(y)];
        const uchar* top = frame.constScanLine(t.index);
        blendRows(top, t.weight ? frame.constScanLine(t.index + 1) : top, t.weight, line.data(),
                  sw);
        QRgb* row = reinterpret_cast<QRgb*>(out.bits() + std::size_t(y) * out.bytesPerLine());
#ifdef TESSARY_X86_SIMD
        if (!groups.empty()) {
            spreadRowSsse3(line.data(), groups, row, size.width());
            continue;
        }
#endif
        spreadRow(line.data(), across, row);
    }
    return out;
}

// The frame on show and the pixmap made from it, kept on the label so that a
// new layout can scale the frame again rather than the scaled picture.
const char* const kShownFrame = "tessaryShownFrame";
const char* const kShownPixmap = "tessaryShownPixmap";

void showFrame(QLabel& label, const QImage& frame)
{
    const QSize size = label.contentsRect().size() * label.devicePixelRatioF();
    QPixmap pixmap;
    if (frame.format() == QImage::Format_Grayscale8 && size.width() > frame.width() &&
        size.height() > frame.height()) {
        pixmap = QPixmap::fromImage(scaleGrayUp(frame, size));
        label.setProperty(kShownFrame, frame.copy());
        label.setProperty(kShownPixmap, pixmap.cacheKey());
    } else {
        // Not scaled up: the label fits it itself when it paints.
        pixmap = QPixmap::fromImage(frame);
        label.setProperty(kShownFrame, QVariant());
    }
    label.setPixmap(pixmap);
}

// After a layout change: the frame on show, scaled to the new size.
void rescaleShownFrame(QLabel& label)
{
    const QVariant frame = label.property(kShownFrame);
    if (frame.isValid() &&
        label.pixmap(Qt::ReturnByValue).cacheKey() == label.property(kShownPixmap).toLongLong())
        showFrame(label, frame.value<QImage>());
}

struct PanelLayout
{
    int readSize;
    QRect label, widgetFunc1, widgetFunc, widget7, widget3, passwordInput, saveLayout, widget2;
};

// The normal layout; leaving full screen through the menu gives the rotate
// and mirror panel a width of 60, leaving with Escape a width of 70.
PanelLayout normalLayout(int widget2Width)
{
    return {600,
            {20, 45, 600, 600},
            {630, 40, 595, 470},
            {650, 514, 560, 130},
            {540, 20, 85, 28},
            {470, 20, 85, 28},
            {430, 210, 380, 200},
            {430, 180, 380, 260},
            {15, 19, widget2Width, 30}};
}

const PanelLayout kHeight810 = {750,
                                {20, 45, 750, 750},
                                {820, 60, 595, 470},
                                {840, 614, 560, 130},
                                {690, 20, 85, 28},
                                {610, 20, 85, 28},
                                {560, 240, 380, 200},
                                {560, 210, 380, 260},
                                {15, 19, 70, 30}};
const PanelLayout kHeight900 = {800,
                                {20, 65, 800, 800},
                                {840, 70, 595, 470},
                                {860, 690, 560, 130},
                                {750, 40, 85, 28},
                                {680, 40, 85, 28},
                                {560, 260, 380, 200},
                                {560, 230, 380, 260},
                                {15, 19, 70, 30}};
const PanelLayout kHeight1080 = {880,
                                 {115, 115, 880, 880},
                                 {1110, 140, 595, 470},
                                 {1130, 820, 560, 130},
                                 {920, 90, 85, 28},
                                 {850, 90, 85, 28},
                                 {770, 410, 380, 200},
                                 {770, 410, 380, 260},
                                 {110, 87, 70, 30}};

void applyLayout(Ui_Tessary_Interface& ui, const PanelLayout& layout)
{
    ui.label->setGeometry(layout.label);
    ui.widget_func1->setGeometry(layout.widgetFunc1);
    ui.widget_func->setGeometry(layout.widgetFunc);
    ui.widget_7->setGeometry(layout.widget7);
    ui.widget_3->setGeometry(layout.widget3);
    ui.password_input->setGeometry(layout.passwordInput);
    ui.savelayout->setGeometry(layout.saveLayout);
    ui.widget_2->setGeometry(layout.widget2);
    readSize = layout.readSize;
    rescaleShownFrame(*ui.label);
}

// Leaves full screen for the normal window: the size recorded in full screen,
// bounded by the limits given back.
void showNormalWithin(QWidget& window, const QSize& minimum, const QSize& maximum)
{
    const QSize recorded = window.size();
    window.showNormal();
    window.setMinimumSize(minimum);
    window.setMaximumSize(maximum);
    window.resize(recorded);
}

} // namespace

void Tessary_Interface::ShowUILabel(const Mat& mat)
{
    if (displayOff)
        return;
    // The queued signal keeps the frame's buffer alive while this slot runs;
    // whatever the label keeps is a copy.
    const QImage image(mat.data, mat.cols, mat.rows, static_cast<int>(mat.step),
                       QImage::Format_Grayscale8);
    showFrame(*ui.label, image);
    ui.label->show();
}

bool Tessary_Interface::eventFilter(QObject* obj, QEvent* event)
{
    if (obj == ui.label && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton) {
            const int x = qRound(press->localPos().x());
            const int y = qRound(press->localPos().y());
            // The label is always readSize square; the clamp only guards the
            // index the worker reads against a stray position.
            selectedCol = std::clamp(int(x / double(readSize) * 256.0), 0, 255);
            selectedRow = std::clamp(int(y / double(readSize) * 256.0), 0, 255);
            runningDataManager->setShowState(true);
            runningDataManager->setShowIndex(selectedRow * 256 + selectedCol);
        }
    }
    return QMainWindow::eventFilter(obj, event);
}

void Tessary_Interface::labelPixelShow(int pixel)
{
    readOutPixel = pixel;
}

void Tessary_Interface::labelCurrentShow(double current)
{
    // A current is named by its sensor pixel (sent just before it): the
    // column and row in the raw frame, as the tables and calibration files
    // hold them, not the place picked on the turned picture. On the border
    // that a turned picture leaves empty there is none (NaN, pixel -1): the
    // picked place names it.
    const QString value =
        qIsNaN(current) ? QString("no pixel") : QString::number(current, 'g', 6) + "nA";
    const bool sensor = readOutPixel >= 0;
    const int col = sensor ? readOutPixel % kFrameSide : selectedCol;
    const int row = sensor ? readOutPixel / kFrameSide : selectedRow;
    ui.label_current->setText("( " + QString::number(col) + " , " + QString::number(row) +
                              " ) :" + value);
}

void Tessary_Interface::toggleFullscreen()
{
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        screenWidth = screen->geometry().width();
        screenHeight = screen->geometry().height();
    }
    if (isFullScreen()) {
        applyLayout(ui, normalLayout(60));
        showNormalWithin(*this, normalMinimumSize, normalMaximumSize);
    } else {
        // A window manager keeps a window within its size limits even in
        // full screen, and main fixes the window's size.
        normalMinimumSize = minimumSize();
        normalMaximumSize = maximumSize();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        if (screenHeight == 810)
            applyLayout(ui, kHeight810);
        else if (screenHeight == 900)
            applyLayout(ui, kHeight900);
        else if (screenHeight == 1080)
            applyLayout(ui, kHeight1080);
    }
    windowMenu->close();
}

void Tessary_Interface::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (isFullScreen()) {
        applyLayout(ui, normalLayout(70));
        showNormalWithin(*this, normalMinimumSize, normalMaximumSize);
    }
}
