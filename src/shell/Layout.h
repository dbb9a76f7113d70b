#pragma once

#include <QString>
#include <optional>
#include <vector>

// Proportional layout: the first pass over a window records the design
// geometry of the window and of each control; every later pass scales each
// control from those records by the ratio of the window's inner size to its
// recorded inner size. All lengths are twips (15 per pixel at 96 dpi).

// One control as the layout sees it. A read gives nothing when the control
// has no such property; a write returns false when the control refuses it.
class LayoutControl {
public:
    virtual ~LayoutControl() = default;

    virtual QString name() const = 0;
    // Only controls in a control array have an index.
    virtual std::optional<int> index() const { return std::nullopt; }

    virtual std::optional<double> top() const = 0;
    virtual std::optional<double> left() const = 0;
    virtual std::optional<double> height() const = 0;
    virtual std::optional<double> width() const = 0;
    virtual bool move(int left, int top, int width, int height) = 0;
    virtual bool move(int left, int top, int width) = 0;
    virtual bool move(int left, int top) = 0;

    // A line is placed by its two end points instead.
    virtual bool isLine() const { return false; }
    virtual std::optional<double> x1() const { return std::nullopt; }
    virtual std::optional<double> y1() const { return std::nullopt; }
    virtual std::optional<double> x2() const { return std::nullopt; }
    virtual std::optional<double> y2() const { return std::nullopt; }
    virtual bool setX1(int) { return false; }
    virtual bool setY1(int) { return false; }
    virtual bool setX2(int) { return false; }
    virtual bool setY2(int) { return false; }

    // Lists round their height to whole rows unless told not to; scaled
    // heights must be kept as given.
    virtual bool setIntegralHeight(bool) { return false; }
};

class LayoutWindow {
public:
    virtual ~LayoutWindow() = default;

    virtual QString name() const = 0;
    virtual std::optional<double> top() const = 0;
    virtual std::optional<double> left() const = 0;
    virtual std::optional<double> height() const = 0;
    virtual std::optional<double> width() const = 0;
    virtual std::optional<double> innerHeight() const = 0;
    virtual std::optional<double> innerWidth() const = 0;
    // In the window's own control order.
    virtual std::vector<LayoutControl*> controls() const = 0;
};

struct LayoutRecord {
    QString name;
    int index = 0;
    QString owner; // the window's name, for a control record
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
    int innerHeight = 0; // window records only
    int innerWidth = 0;  // window records only
    // Whether left (for a line: x1) and width (x2) were parked when recorded.
    // A scaled parked place can turn positive at a large factor; the record,
    // not the current place, must then keep it parked on the next pass.
    bool leftParked = false;
    bool widthParked = false;
};

class Module1 {
public:
    // A control left of the window's edge is parked there: it is recorded
    // plus this offset and stays parked after every pass.
    static constexpr int kParkingOffset = 75000;

    // Lays out every control of the window (recording first when the window
    // is new). Nothing fails: a control that refuses a move keeps what it had.
    void proportionalPass(LayoutWindow& window);

    int findWindowRecord(const LayoutWindow& window) const;
    int recordWindow(const LayoutWindow& window);
    int findControlRecord(const LayoutControl& control, const QString& owner) const;
    void recordControl(LayoutControl& control, const QString& owner);
    int horizontalFactor(const LayoutWindow& window);
    int verticalFactor(const LayoutWindow& window);
    void placeControl(LayoutControl& control, const LayoutWindow& window);

    const std::vector<LayoutRecord>& windowTable() const { return m_windows; }
    const std::vector<LayoutRecord>& controlTable() const { return m_controls; }

private:
    int windowRecordFor(const LayoutWindow& window);

    std::vector<LayoutRecord> m_windows;
    std::vector<LayoutRecord> m_controls;
};
