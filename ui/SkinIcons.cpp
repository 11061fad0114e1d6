// The skin's vector icons (see SkinIcons.h). Every icon is designed on a 24 by
// 24 grid with 2-unit strokes and scaled to the box it is drawn in.
#include "ui/SkinIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

#include <functional>
#include <map>

namespace {

struct Pen {
    QPainter& p;
    QColor color;

    void stroke(const QPainterPath& path, qreal width = 2.0) const {
        QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.strokePath(path, pen);
    }
    void fill(const QPainterPath& path) const { p.fillPath(path, color); }
    void line(qreal x1, qreal y1, qreal x2, qreal y2, qreal width = 2.0) const {
        QPainterPath path;
        path.moveTo(x1, y1);
        path.lineTo(x2, y2);
        stroke(path, width);
    }
    static QPainterPath through(std::initializer_list<QPointF> points, bool closed) {
        QPainterPath path;
        bool first = true;
        for (const QPointF& pt : points) {
            if (first)
                path.moveTo(pt);
            else
                path.lineTo(pt);
            first = false;
        }
        if (closed)
            path.closeSubpath();
        return path;
    }
    void polyline(std::initializer_list<QPointF> points, qreal width = 2.0,
                  bool closed = false) const {
        stroke(through(points, closed), width);
    }
    void polygon(std::initializer_list<QPointF> points) const { fill(through(points, true)); }
    void circle(qreal cx, qreal cy, qreal r, qreal width = 2.0) const {
        QPainterPath path;
        path.addEllipse(QPointF(cx, cy), r, r);
        stroke(path, width);
    }
    void dot(qreal cx, qreal cy, qreal r) const {
        QPainterPath path;
        path.addEllipse(QPointF(cx, cy), r, r);
        fill(path);
    }
    void roundRect(const QRectF& r, qreal radius, qreal width = 2.0) const {
        QPainterPath path;
        path.addRoundedRect(r, radius, radius);
        stroke(path, width);
    }
    void fillRoundRect(const QRectF& r, qreal radius) const {
        QPainterPath path;
        path.addRoundedRect(r, radius, radius);
        fill(path);
    }
};

using Drawer = std::function<void(const Pen&)>;

const std::map<QString, Drawer>& drawers() {
    static const std::map<QString, Drawer> table = {
        {QStringLiteral("file"),
         [](const Pen& d) {
             d.polyline({{6, 3}, {14, 3}, {19, 8}, {19, 21}, {6, 21}}, 2.0, true);
             d.polyline({{14, 3}, {14, 8}, {19, 8}});
             d.line(9, 13, 16, 13);
             d.line(9, 17, 16, 17);
         }},
        {QStringLiteral("folder"),
         [](const Pen& d) {
             d.polyline({{3, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 19}, {3, 19}}, 2.0, true);
             d.line(12, 11, 12, 17);
             d.line(9, 14, 15, 14);
         }},
        {QStringLiteral("action"),
         [](const Pen& d) {
             d.polygon({{13, 2}, {5, 13}, {11, 13}, {10, 22}, {19, 10}, {13, 10}});
         }},
        {QStringLiteral("settings"),
         [](const Pen& d) {
             QPainterPath gear;
             const int teeth = 8;
             for (int i = 0; i < teeth * 2; ++i) {
                 const qreal a0 = (i - 0.5) * M_PI / teeth;
                 const qreal a1 = (i + 0.5) * M_PI / teeth;
                 const qreal r = (i % 2 == 0) ? 10.0 : 7.6;
                 const QPointF p0(12 + r * qCos(a0), 12 + r * qSin(a0));
                 const QPointF p1(12 + r * qCos(a1), 12 + r * qSin(a1));
                 if (i == 0)
                     gear.moveTo(p0);
                 else
                     gear.lineTo(p0);
                 gear.lineTo(p1);
             }
             gear.closeSubpath();
             gear.addEllipse(QPointF(12, 12), 3.2, 3.2);
             gear.setFillRule(Qt::OddEvenFill);
             d.fill(gear);
         }},
        {QStringLiteral("help"),
         [](const Pen& d) {
             d.circle(12, 12, 9.5);
             QPainterPath q;
             q.moveTo(9, 9.5);
             q.cubicTo(9, 6.5, 15, 6.5, 15, 9.5);
             q.cubicTo(15, 11.5, 12, 11.8, 12, 14);
             d.stroke(q);
             d.dot(12, 17.3, 1.3);
         }},
        {QStringLiteral("about"),
         [](const Pen& d) {
             d.circle(12, 12, 9.5);
             d.line(12, 11, 12, 17);
             d.dot(12, 7.5, 1.3);
         }},
        {QStringLiteral("guide"),
         [](const Pen& d) {
             d.polyline({{12, 6},
                         {8, 4.5},
                         {3, 4.5},
                         {3, 18.5},
                         {8, 18.5},
                         {12, 20},
                         {16, 18.5},
                         {21, 18.5},
                         {21, 4.5},
                         {16, 4.5},
                         {12, 6}});
             d.line(12, 6, 12, 20);
         }},
        {QStringLiteral("home"),
         [](const Pen& d) {
             d.polyline({{3, 11}, {12, 3}, {21, 11}});
             d.polyline({{5.5, 9.5}, {5.5, 21}, {18.5, 21}, {18.5, 9.5}});
             d.polyline({{10, 21}, {10, 15}, {14, 15}, {14, 21}});
         }},
        {QStringLiteral("add"),
         [](const Pen& d) {
             d.line(12, 4, 12, 20, 2.6);
             d.line(4, 12, 20, 12, 2.6);
         }},
        {QStringLiteral("up"),
         [](const Pen& d) {
             d.line(12, 20, 12, 5, 2.4);
             d.polyline({{5.5, 11}, {12, 4.5}, {18.5, 11}}, 2.4);
         }},
        {QStringLiteral("down"),
         [](const Pen& d) {
             d.line(12, 4, 12, 19, 2.4);
             d.polyline({{5.5, 13}, {12, 19.5}, {18.5, 13}}, 2.4);
         }},
        {QStringLiteral("remove"),
         [](const Pen& d) {
             d.circle(12, 12, 9.5);
             d.line(7.5, 12, 16.5, 12, 2.4);
         }},
        {QStringLiteral("clear"),
         [](const Pen& d) {
             d.line(3.5, 6, 20.5, 6);
             d.polyline({{9, 6}, {9, 3.5}, {15, 3.5}, {15, 6}});
             d.polyline({{5.5, 6}, {6.8, 21}, {17.2, 21}, {18.5, 6}});
             d.line(10, 10, 10, 17);
             d.line(14, 10, 14, 17);
         }},
        {QStringLiteral("options"),
         [](const Pen& d) {
             d.line(3, 6, 21, 6);
             d.line(3, 12, 21, 12);
             d.line(3, 18, 21, 18);
             d.dot(8, 6, 2.6);
             d.dot(16, 12, 2.6);
             d.dot(10, 18, 2.6);
         }},
        {QStringLiteral("play"),
         [](const Pen& d) {
             d.polygon({{7, 4}, {20, 12}, {7, 20}});
         }},
        {QStringLiteral("stop"), [](const Pen& d) { d.fillRoundRect(QRectF(6, 6, 12, 12), 1.5); }},
        {QStringLiteral("back"),
         [](const Pen& d) {
             d.polygon({{12, 6}, {3, 12}, {12, 18}});
             d.polygon({{21, 6}, {12, 12}, {21, 18}});
         }},
        {QStringLiteral("forward"),
         [](const Pen& d) {
             d.polygon({{3, 6}, {12, 12}, {3, 18}});
             d.polygon({{12, 6}, {21, 12}, {12, 18}});
         }},
        {QStringLiteral("begin"),
         [](const Pen& d) {
             d.polyline({{8, 4}, {4, 4}, {4, 20}, {8, 20}}, 2.4);
             d.polygon({{10, 7}, {19, 12}, {10, 17}});
         }},
        {QStringLiteral("end"),
         [](const Pen& d) {
             d.polyline({{16, 4}, {20, 4}, {20, 20}, {16, 20}}, 2.4);
             d.polygon({{5, 7}, {14, 12}, {5, 17}});
         }},
        {QStringLiteral("ok"),
         [](const Pen& d) {
             d.polyline({{4.5, 12.5}, {9.5, 17.5}, {19.5, 6.5}}, 2.8);
         }},
        {QStringLiteral("split"),
         [](const Pen& d) {
             d.circle(6.5, 17.5, 3);
             d.circle(17.5, 17.5, 3);
             d.line(8.3, 15.2, 17, 3.5);
             d.line(15.7, 15.2, 7, 3.5);
         }},
        {QStringLiteral("join"),
         [](const Pen& d) {
             QPainterPath a;
             a.moveTo(4, 4);
             a.cubicTo(4, 11, 12, 9, 12, 15);
             QPainterPath b;
             b.moveTo(20, 4);
             b.cubicTo(20, 11, 12, 9, 12, 15);
             d.stroke(a);
             d.stroke(b);
             d.line(12, 15, 12, 21);
             d.polyline({{8.5, 17.5}, {12, 21}, {15.5, 17.5}});
         }},
        {QStringLiteral("stopall"),
         [](const Pen& d) {
             QPainterPath oct;
             for (int i = 0; i < 8; ++i) {
                 const qreal a = (i + 0.5) * M_PI / 4;
                 const QPointF pt(12 + 10 * qCos(a), 12 + 10 * qSin(a));
                 if (i == 0)
                     oct.moveTo(pt);
                 else
                     oct.lineTo(pt);
             }
             oct.closeSubpath();
             oct.addRect(QRectF(8, 8, 8, 8));
             oct.setFillRule(Qt::OddEvenFill);
             d.fill(oct);
         }},
        {QStringLiteral("tag"),
         [](const Pen& d) {
             d.polyline({{3, 3}, {12, 3}, {21, 12}, {12, 21}, {3, 12}}, 2.0, true);
             d.dot(8, 8, 1.8);
         }},
        {QStringLiteral("exit"),
         [](const Pen& d) {
             d.polyline({{13, 4}, {4, 4}, {4, 20}, {13, 20}});
             d.line(9, 12, 21, 12);
             d.polyline({{17, 8}, {21, 12}, {17, 16}});
         }},
        {QStringLiteral("wave"),
         [](const Pen& d) {
             const qreal heights[] = {4, 10, 16, 8, 13, 6};
             for (int i = 0; i < 6; ++i) {
                 const qreal x = 3 + i * 3.6;
                 d.line(x, 12 - heights[i] / 2, x, 12 + heights[i] / 2, 2.2);
             }
         }},
    };
    return table;
}

class SkinIconEngine : public QIconEngine {
  public:
    SkinIconEngine(const QString& name, const QColor& color) : m_name(name), m_color(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        QColor c = m_color;
        if (mode == QIcon::Disabled)
            c.setAlphaF(0.4f);
        const qreal side = qMin(rect.width(), rect.height());
        const QRectF box(rect.x() + (rect.width() - side) / 2.0,
                         rect.y() + (rect.height() - side) / 2.0, side, side);
        paintSkinIcon(*painter, m_name, box, c);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pm(size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new SkinIconEngine(m_name, m_color); }
    QString key() const override { return QStringLiteral("cadelo-skin"); }

  private:
    QString m_name;
    QColor m_color;
};

} // namespace

void paintSkinIcon(QPainter& painter, const QString& name, const QRectF& box, const QColor& color) {
    const auto it = drawers().find(name);
    if (it == drawers().end() || box.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 24.0, box.height() / 24.0);
    it->second(Pen{painter, color});
    painter.restore();
}

QStringList skinIconNames() {
    QStringList names;
    for (const auto& entry : drawers())
        names << entry.first;
    return names;
}

QIcon skinIcon(const QString& name, const QColor& color) {
    return QIcon(new SkinIconEngine(name, color));
}
