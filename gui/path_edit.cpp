#include "gui/path_edit.h"

#include <algorithm>

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace brenquil::gui {

namespace {
QRect TextArea(const QLineEdit& edit) {
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.rect = edit.contentsRect();
  option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  QRect area = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
  QMargins margins = edit.textMargins();
  return area.marginsRemoved(margins).adjusted(2, 0, -2, 0);
}
}  // namespace

QString PathEdit::Shown() const {
  if (hasFocus()) return text();
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, std::max(TextArea(*this).width(), 10));
}

void PathEdit::paintEvent(QPaintEvent* event) {
  const QString shown = Shown();
  if (shown == text()) {
    QLineEdit::paintEvent(event);
    return;
  }
  // The frame as the style draws it, then the shortened text in its place.
  QPainter painter(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::Text));
  painter.drawText(TextArea(*this), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace brenquil::gui
