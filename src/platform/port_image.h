// port_image.h: inside the platform layer, the image that holds a port's pixels, for the code
// that shows a port in a window.
#pragma once

class QImage;
class QObject;
struct Port;

// The port's pixels (Format_RGB32); nullptr for a null port.
QImage* port_image(Port* port);
const QImage* port_image(const Port* port);
// The pixels as the port shows them, marks and all (port.h): what a window paints.
QImage port_shown_image(const Port* port);

// The widget that shows the port: it is repainted when something is copied into the port.
void port_set_view(Port* port, QObject* view);

// Resizes a window's port: what fits stays where it is, the rest is white. A clip that was
// the whole port stays the whole port.
void port_set_size(Port* port, int width, int height);
