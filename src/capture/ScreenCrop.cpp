#include "capture/ScreenCrop.h"

#include "base/Logger.h"
#include "capture/CaptureGeometry.h"

#include <QColorSpace>
#include <QPainter>

QImage ScreenCrop::cropFromFull(const QImage& full, const QRectF& frame, const QRectF& selection) {
    using Status = CaptureGeometry::PixelCrop::Status;
    const CaptureGeometry::PixelCrop crop = CaptureGeometry::pixelCrop(full.size(), frame.size(), selection);
    logi(QStringLiteral("截图 scale: x=%1 y=%2, full=%3x%4 px, frame=(%5, %6, %7, %8)")
             .arg(QString::number(crop.scaleX, 'f', 3), QString::number(crop.scaleY, 'f', 3))
             .arg(full.width())
             .arg(full.height())
             .arg(CaptureGeometry::decimal(frame.x()), CaptureGeometry::decimal(frame.y()),
                  CaptureGeometry::decimal(frame.width()), CaptureGeometry::decimal(frame.height())));
    if (crop.status == Status::SelectionTooSmall) {
        loge(QStringLiteral("选区截图区域过小: ") + CaptureGeometry::decimal(crop.pixelWidth) + u'x' +
             CaptureGeometry::decimal(crop.pixelHeight));
        return {};
    }
    if (crop.status == Status::IntersectionTooSmall) {
        loge(QStringLiteral("裁剪后区域过小"));
        return {};
    }
    const QImage cropped = full.copy(crop.rect);
    if (cropped.isNull()) {
        loge(QStringLiteral("截图裁剪失败"));
        return {};
    }
    logi(QStringLiteral("截图图像: %1x%2 px (裁剪自 %3x%4)")
             .arg(cropped.width())
             .arg(cropped.height())
             .arg(full.width())
             .arg(full.height()));
    return normalizedForOcr(cropped);
}

QImage ScreenCrop::normalizedForOcr(const QImage& crop) {
    const QPixelFormat format = crop.pixelFormat();
    if (!crop.hasAlphaChannel() && format.colorModel() == QPixelFormat::RGB)
        return crop;
    QImage opaque(crop.size(), QImage::Format_RGB32);
    if (opaque.isNull())
        return crop;
    opaque.setColorSpace(QColorSpace::SRgb);
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.drawImage(QPoint(0, 0), crop);
    return opaque;
}
