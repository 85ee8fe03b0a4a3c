#include "gui/inicial_window.h"

#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "gui/bindings.h"
#include "shell/inicial.h"

namespace brenquil::gui {

namespace {

// A database drum: a cylinder with its top face showing.
void DrawDrum(QPainter& p, QRectF box, QColor body) {
  const double lid = box.height() * 0.24;
  QPainterPath side;
  side.moveTo(box.left(), box.top() + lid / 2);
  side.lineTo(box.left(), box.bottom() - lid / 2);
  side.arcTo(QRectF(box.left(), box.bottom() - lid, box.width(), lid), 180, 180);
  side.lineTo(box.right(), box.top() + lid / 2);
  side.closeSubpath();
  QLinearGradient shade(box.topLeft(), box.topRight());
  shade.setColorAt(0, body.darker(130));
  shade.setColorAt(0.45, body.lighter(125));
  shade.setColorAt(1, body.darker(150));
  p.setPen(QPen(body.darker(200), 1.2));
  p.setBrush(shade);
  p.drawPath(side);
  // Two bands, one per stored table.
  p.setBrush(Qt::NoBrush);
  for (double k : {0.42, 0.68}) {
    double y = box.top() + box.height() * k;
    p.drawArc(QRectF(box.left(), y - lid / 2, box.width(), lid), 180 * 16, 180 * 16);
  }
  p.setBrush(body.lighter(150));
  p.drawEllipse(QRectF(box.left(), box.top(), box.width(), lid));
}

}  // namespace

QPixmap InicialPicture() {
  QPixmap picture(249, 78);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 78);
  sky.setColorAt(0, QColor(18, 52, 86));
  sky.setColorAt(1, QColor(40, 110, 140));
  p.fillRect(picture.rect(), sky);

  // The old database, the arrow of the transformation, the model.
  DrawDrum(p, QRectF(10, 14, 34, 50), QColor(150, 150, 150));
  QPainterPath arrow;
  arrow.moveTo(50, 35);
  arrow.lineTo(66, 35);
  arrow.lineTo(66, 29);
  arrow.lineTo(78, 39);
  arrow.lineTo(66, 49);
  arrow.lineTo(66, 43);
  arrow.lineTo(50, 43);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 200, 60));
  p.drawPath(arrow);
  DrawDrum(p, QRectF(84, 14, 34, 50), QColor(70, 170, 110));

  QFont name = p.font();
  name.setBold(true);
  name.setPixelSize(24);
  p.setFont(name);
  p.setPen(Qt::white);
  p.drawText(QRectF(124, 10, 121, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Brenquil"));
  QFont motto = p.font();
  motto.setBold(false);
  motto.setPixelSize(11);
  p.setFont(motto);
  p.setPen(QColor(210, 230, 240));
  p.drawText(QRectF(124, 42, 121, 30), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("bases al día\nsegún su modelo"));
  return picture;
}

InicialWindow::InicialWindow(Inicial& state, QWidget* parent) : QWidget(parent), state_(state) {
  setObjectName(QStringLiteral("Inicial"));
  setWindowTitle(QString::fromUtf8(Inicial::kCaption));
  auto* column = new QVBoxLayout(this);
  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(InicialPicture());
  image->setFixedSize(Inicial::kImageWidth, Inicial::kImageHeight);
  column->addWidget(image, 0, Qt::AlignCenter);
  auto* models = new QListWidget(this);
  models->setObjectName(QStringLiteral("List1"));
  column->addWidget(models);
  BindList(state.List1, models);
  setFixedSize(sizeHint());
}

}  // namespace brenquil::gui
