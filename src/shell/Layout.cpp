#include "Layout.h"

#include <cfenv>
#include <cmath>

namespace {

// Rounds to the nearest integer, ties to even (1.5 -> 2, 2.5 -> 2).
int roundEven(double v) {
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(previous);
    return static_cast<int>(r);
}

int stored(const std::optional<double>& v) {
    return v ? roundEven(*v) : 0;
}

int normalised(const std::optional<double>& v) {
    int value = stored(v);
    if (value < 0)
        value += Module1::kParkingOffset;
    return value;
}

bool isNegative(const std::optional<double>& v) {
    return v && *v < 0;
}

// Integer division of whole numbers truncates toward zero; a record with a
// zero inner size gives a factor of 0 rather than a fault.
int factor(const std::optional<double>& current, int recorded) {
    if (recorded == 0)
        return 0;
    return stored(current ? std::optional<double>(*current * 100) : std::nullopt) / recorded;
}

} // namespace

void Module1::proportionalPass(LayoutWindow& window) {
    windowRecordFor(window);
    for (LayoutControl* control : window.controls())
        placeControl(*control, window);
}

int Module1::findWindowRecord(const LayoutWindow& window) const {
    const QString name = window.name();
    for (size_t i = 0; i < m_windows.size(); ++i) {
        if (m_windows[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

int Module1::recordWindow(const LayoutWindow& window) {
    LayoutRecord r;
    r.name = window.name();
    r.top = stored(window.top());
    r.left = stored(window.left());
    r.height = stored(window.height());
    r.width = stored(window.width());
    r.innerHeight = stored(window.innerHeight());
    r.innerWidth = stored(window.innerWidth());
    m_windows.push_back(r);
    for (LayoutControl* control : window.controls()) {
        if (findControlRecord(*control, r.name) == -1)
            recordControl(*control, r.name);
    }
    return static_cast<int>(m_windows.size()) - 1;
}

int Module1::findControlRecord(const LayoutControl& control, const QString& owner) const {
    const QString name = control.name();
    const std::optional<int> index = control.index();
    for (size_t i = 0; i < m_controls.size(); ++i) {
        const LayoutRecord& r = m_controls[i];
        if (r.owner == owner && r.name == name && (!index || r.index == *index))
            return static_cast<int>(i);
    }
    return -1;
}

void Module1::recordControl(LayoutControl& control, const QString& owner) {
    LayoutRecord r;
    r.name = control.name();
    r.index = control.index().value_or(0);
    r.owner = owner;
    if (control.isLine()) {
        r.top = stored(control.y1());
        r.left = normalised(control.x1());
        r.leftParked = isNegative(control.x1());
        r.height = stored(control.y2());
        r.width = normalised(control.x2());
        r.widthParked = isNegative(control.x2());
    } else {
        r.top = stored(control.top());
        r.left = normalised(control.left());
        r.leftParked = isNegative(control.left());
        r.height = stored(control.height());
        r.width = stored(control.width());
    }
    m_controls.push_back(r);
    control.setIntegralHeight(false);
}

int Module1::windowRecordFor(const LayoutWindow& window) {
    const int found = findWindowRecord(window);
    return found != -1 ? found : recordWindow(window);
}

int Module1::horizontalFactor(const LayoutWindow& window) {
    const int w = windowRecordFor(window);
    return factor(window.innerWidth(), m_windows[static_cast<size_t>(w)].innerWidth);
}

int Module1::verticalFactor(const LayoutWindow& window) {
    const int w = windowRecordFor(window);
    return factor(window.innerHeight(), m_windows[static_cast<size_t>(w)].innerHeight);
}

void Module1::placeControl(LayoutControl& control, const LayoutWindow& window) {
    const int fx = horizontalFactor(window);
    const int fy = verticalFactor(window);
    const int found = findControlRecord(control, window.name());
    // A control added after the first pass has no design geometry to scale.
    if (found == -1)
        return;
    const LayoutRecord r = m_controls[static_cast<size_t>(found)];

    if (control.isLine()) {
        int x1 = r.left * fx / 100;
        if (r.leftParked || isNegative(control.x1()))
            x1 -= kParkingOffset;
        int x2 = r.width * fx / 100;
        if (r.widthParked || isNegative(control.x2()))
            x2 -= kParkingOffset;
        control.setX1(x1);
        control.setY1(r.top * fy / 100);
        control.setX2(x2);
        control.setY2(r.height * fy / 100);
        return;
    }

    int left = r.left * fx / 100;
    if (r.leftParked || isNegative(control.left()))
        left -= kParkingOffset;
    const int top = r.top * fy / 100;
    const int width = r.width * fx / 100;
    const int height = r.height * fy / 100;
    // Each form is tried on its own: a control that refuses a height still
    // gets its position and width, one that refuses a width its position.
    control.move(left, top, width, height);
    control.move(left, top, width);
    control.move(left, top);
}
