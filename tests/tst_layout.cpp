#include "shell/Layout.h"

#include <QList>
#include <QRect>
#include <QSizeF>
#include <QTest>

namespace {

// A control as the layout sees it, with switches for the ways real
// controls refuse: no geometry at all (a timer), or no sizing forms.
class FakeControl : public LayoutControl {
public:
    FakeControl(QString name, QRect geometry, std::optional<int> index = std::nullopt)
        : geometry(geometry), m_name(std::move(name)), m_index(index) {}

    QString name() const override { return m_name; }
    std::optional<int> index() const override { return m_index; }
    std::optional<double> top() const override { return read(geometry.y()); }
    std::optional<double> left() const override { return read(geometry.x()); }
    std::optional<double> height() const override { return read(geometry.height()); }
    std::optional<double> width() const override { return read(geometry.width()); }
    bool move(int l, int t, int w, int h) override { return place(sizes, {l, t, w, h}); }
    bool move(int l, int t, int w) override { return place(widens, {l, t, w, geometry.height()}); }
    bool move(int l, int t) override {
        return place(true, {l, t, geometry.width(), geometry.height()});
    }
    bool setIntegralHeight(bool on) override {
        integralHeight.append(on);
        return true;
    }

    QRect geometry;
    bool hasGeometry = true;
    bool sizes = true;  // takes the four-argument move
    bool widens = true; // takes the three-argument move
    QList<bool> integralHeight;

private:
    bool place(bool allowed, QRect to) {
        if (!hasGeometry || !allowed)
            return false;
        geometry = to;
        return true;
    }
    std::optional<double> read(int v) const {
        return hasGeometry ? std::optional<double>(v) : std::nullopt;
    }

    QString m_name;
    std::optional<int> m_index;
};

class FakeLine : public FakeControl {
public:
    FakeLine(QString name, QLine ends) : FakeControl(std::move(name), {}), ends(ends) {}

    bool isLine() const override { return true; }
    std::optional<double> x1() const override { return ends.x1(); }
    std::optional<double> y1() const override { return ends.y1(); }
    std::optional<double> x2() const override { return ends.x2(); }
    std::optional<double> y2() const override { return ends.y2(); }
    bool setX1(int v) override { return ends.setP1({v, ends.y1()}), true; }
    bool setY1(int v) override { return ends.setP1({ends.x1(), v}), true; }
    bool setX2(int v) override { return ends.setP2({v, ends.y2()}), true; }
    bool setY2(int v) override { return ends.setP2({ends.x2(), v}), true; }

    QLine ends;
};

class FakeWindow : public LayoutWindow {
public:
    explicit FakeWindow(QString name, QSizeF inner = {15240, 10665})
        : inner(inner), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    std::optional<double> top() const override { return 1200; }
    std::optional<double> left() const override { return 900; }
    // Border and caption, so that outer and inner sizes never agree.
    std::optional<double> height() const override { return inner.height() + 435; }
    std::optional<double> width() const override { return inner.width() + 120; }
    std::optional<double> innerHeight() const override { return inner.height(); }
    std::optional<double> innerWidth() const override { return inner.width(); }
    std::vector<LayoutControl*> controls() const override { return list; }

    QSizeF inner;
    std::vector<LayoutControl*> list;

private:
    QString m_name;
};

// Where a control recorded at `design` belongs at factors fx, fy, worked
// out here from the design numbers rather than from the module's records.
QRect expected(QRect design, int fx, int fy) {
    return QRect(design.x() * fx / 100, design.y() * fy / 100, design.width() * fx / 100,
                 design.height() * fy / 100);
}

const QRect kList1(12675, 1080, 2505, 8670);
const QRect kImage1(30, 0, 1065, 1065);

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void firstPassRecordsOnce() {
        FakeControl list1("List1", kList1), image1("Image1", kImage1);
        FakeWindow form("Form1");
        form.list = {&list1, &image1};
        Module1 layout;
        layout.proportionalPass(form);

        QCOMPARE(layout.windowTable().size(), size_t(1));
        QCOMPARE(layout.windowTable()[0].innerWidth, 15240);
        QCOMPARE(layout.windowTable()[0].innerHeight, 10665);
        QCOMPARE(layout.controlTable().size(), size_t(2));
        const LayoutRecord r = layout.controlTable()[0];
        QCOMPARE(r.owner, "Form1");
        QCOMPARE(QRect(r.left, r.top, r.width, r.height), kList1);
        QCOMPARE(list1.geometry, kList1);
        QCOMPARE(image1.geometry, kImage1);

        form.inner = {22860, 5000};
        layout.proportionalPass(form);
        layout.proportionalPass(form);
        QCOMPARE(layout.windowTable().size(), size_t(1));
        QCOMPARE(layout.windowTable()[0].innerWidth, 15240);
        QCOMPARE(layout.controlTable().size(), size_t(2));
        QCOMPARE(layout.controlTable()[0].left, kList1.x());
        for (FakeControl* c : {&list1, &image1}) {
            QVERIFY(c->integralHeight.contains(false));
            QVERIFY(!c->integralHeight.contains(true));
        }
    }

    void factor_data() {
        QTest::addColumn<QSizeF>("design");
        QTest::addColumn<QSizeF>("current");
        QTest::addColumn<int>("fx");
        QTest::addColumn<int>("fy");
        const QSizeF design(15240, 10665);
        QTest::newRow("design") << design << design << 100 << 100;
        QTest::newRow("1.5 wide") << design << QSizeF(22860, 10665) << 150 << 100;
        QTest::newRow("one twip short") << design << QSizeF(15239, 10664) << 99 << 99;
        QTest::newRow("rounded before dividing")
            << design << QSizeF(15239.996, 10664.996) << 100 << 100;
        QTest::newRow("half size") << design << QSizeF(7620, 5332.5) << 50 << 50;
        QTest::newRow("nothing") << design << QSizeF(0, 0) << 0 << 0;
        // 12.5 and 37.5 go to the even neighbour: 12 and 38.
        QTest::newRow("ties to even") << QSizeF(1, 1) << QSizeF(0.125, 0.375) << 12 << 38;
    }
    void factor() {
        QFETCH(QSizeF, design);
        QFETCH(QSizeF, current);
        QFETCH(int, fx);
        QFETCH(int, fy);
        FakeControl image1("Image1", kImage1);
        FakeWindow form("Form1", design);
        form.list = {&image1};
        Module1 layout;
        layout.proportionalPass(form);
        form.inner = current;
        QCOMPARE(layout.horizontalFactor(form), fx);
        QCOMPARE(layout.verticalFactor(form), fy);
    }

    // Every pass scales from the records, so no sequence of sizes drifts;
    // a size of nothing (minimised) collapses everything to the origin.
    void resizeSequence_data() {
        QTest::addColumn<QList<QSizeF>>("sizes");
        QTest::newRow("grow and back") << QList<QSizeF>{{22860, 16000}, {30480, 21330}};
        QTest::newRow("odd sizes") << QList<QSizeF>{{15239, 10664}, {15241, 10666}, {9999, 7777}};
        QTest::newRow("minimised and back") << QList<QSizeF>{{0, 0}, {20000, 12000}, {0, 0}};
    }
    void resizeSequence() {
        QFETCH(QList<QSizeF>, sizes);
        const QRect parkedDesign(-74700, 500, 1200, 300); // left of the window edge
        FakeControl list1("List1", kList1), image1("Image1", kImage1);
        FakeControl parked("Command9", parkedDesign);
        FakeWindow form("Form1");
        form.list = {&list1, &image1, &parked};
        Module1 layout;
        layout.proportionalPass(form);
        QCOMPARE(layout.controlTable()[2].left, -74700 + Module1::kParkingOffset);

        sizes.append(QSizeF(15240, 10665));
        for (const QSizeF& size : sizes) {
            form.inner = size;
            layout.proportionalPass(form);
            const int fx = qRound(size.width() * 100) / 15240;
            const int fy = qRound(size.height() * 100) / 10665;
            QCOMPARE(list1.geometry, expected(kList1, fx, fy));
            QCOMPARE(image1.geometry, expected(kImage1, fx, fy));
            QRect park = expected(parkedDesign.translated(Module1::kParkingOffset, 0), fx, fy);
            QCOMPARE(parked.geometry, park.translated(-Module1::kParkingOffset, 0));
        }
        QCOMPARE(list1.geometry, kList1);
        QCOMPARE(parked.geometry, parkedDesign);
    }

    // A parked control is placed from its record on every pass, even after
    // a large factor has brought the scaled position past zero.
    void parkedControlFollowsItsRecord() {
        const QRect design(-30000, 500, 1200, 300);
        FakeControl parked("Command9", design);
        FakeWindow form("Form1");
        form.list = {&parked};
        Module1 layout;
        layout.proportionalPass(form);
        form.inner = {30480, 10665}; // factor 200: 45000 * 2 - 75000
        layout.proportionalPass(form);
        QCOMPARE(parked.geometry.x(), 15000);
        layout.proportionalPass(form);
        QCOMPARE(parked.geometry.x(), 15000);
        form.inner = {15240, 10665};
        layout.proportionalPass(form);
        QCOMPARE(parked.geometry, design);
    }

    void moveForms_data() {
        QTest::addColumn<bool>("sizes");
        QTest::addColumn<bool>("widens");
        QTest::addColumn<QRect>("after");
        QTest::newRow("all forms") << true << true << QRect(1500, 3000, 4500, 6000);
        QTest::newRow("no four-argument move") << false << true << QRect(1500, 3000, 4500, 4000);
        QTest::newRow("position only") << false << false << QRect(1500, 3000, 3000, 4000);
    }
    void moveForms() {
        QFETCH(bool, sizes);
        QFETCH(bool, widens);
        QFETCH(QRect, after);
        FakeControl frame("Frame1", QRect(1000, 2000, 3000, 4000));
        frame.sizes = sizes;
        frame.widens = widens;
        FakeWindow form("Form1");
        form.list = {&frame};
        Module1 layout;
        layout.proportionalPass(form);
        form.inner = {22860, 15997.5};
        layout.proportionalPass(form);
        QCOMPARE(frame.geometry, after);
    }

    // A timer has no geometry: it gets a record of zeros and is left alone,
    // while the controls around it are still placed.
    void controlWithoutGeometry() {
        FakeControl timer("Timer1", QRect(5, 5, 5, 5)), list1("List1", kList1);
        timer.hasGeometry = false;
        FakeWindow form("Form1");
        form.list = {&timer, &list1};
        Module1 layout;
        layout.proportionalPass(form);
        const LayoutRecord r = layout.controlTable()[0];
        QCOMPARE(r.name, "Timer1");
        QCOMPARE(QRect(r.left, r.top, r.width, r.height), QRect(0, 0, 0, 0));
        form.inner = {22860, 10665};
        layout.proportionalPass(form);
        QCOMPARE(timer.geometry, QRect(5, 5, 5, 5));
        QCOMPARE(list1.geometry, QRect(19012, 1080, 3757, 8670));
    }

    void lineByEndPoints() {
        FakeLine line("Line1", QLine(120, 200, 3000, 9000));
        FakeWindow form("Form1");
        form.list = {&line};
        Module1 layout;
        layout.proportionalPass(form);
        const LayoutRecord r = layout.controlTable()[0];
        QCOMPARE(QList<int>({r.left, r.top, r.width, r.height}),
                 QList<int>({120, 200, 3000, 9000}));
        QCOMPARE(line.ends, QLine(120, 200, 3000, 9000));
        form.inner = {22860, 5332.5};
        layout.proportionalPass(form);
        QCOMPARE(line.ends, QLine(180, 100, 4500, 4500));
    }

    void controlArrayByIndex() {
        // Listed out of index order, so that position in the list cannot
        // stand in for the index.
        FakeControl opt2("Option1", QRect(4000, 10, 100, 100), 2);
        FakeControl opt0("Option1", QRect(100, 10, 100, 100), 0);
        FakeControl opt1("Option1", QRect(2000, 10, 100, 100), 1);
        FakeWindow form("Form1");
        form.list = {&opt2, &opt0, &opt1};
        Module1 layout;
        layout.proportionalPass(form);
        QCOMPARE(layout.controlTable().size(), size_t(3));
        form.inner = {30480, 10665};
        layout.proportionalPass(form);
        QCOMPARE(opt0.geometry.x(), 200);
        QCOMPARE(opt1.geometry.x(), 4000);
        QCOMPARE(opt2.geometry.x(), 8000);
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
