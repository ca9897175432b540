#include "window/accessible_factory.h"

#include "playback/volume.h"
#include "window/click_label.h"
#include "window/line_edit_accessible.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace window::accessibility {
namespace {

// What the window says of a widget beyond its class; kept beside the widget, not in it, and
// dropped with it.
struct Marks {
    std::optional<QAccessible::Role> role;
    bool concealed = false;
    QPointer<QWidget> label;
    bool pressed = false;
};

QHash<const QObject*, Marks>& allMarks() {
    static QHash<const QObject*, Marks> marks;
    return marks;
}

const Marks* marksOf(const QObject* o) {
    const auto& marks = allMarks();
    const auto it = marks.constFind(o);
    return it == marks.cend() ? nullptr : &*it;
}

Marks& mark(QWidget* w) {
    auto& marks = allMarks();
    if (!marks.contains(w))
        QObject::connect(w, &QObject::destroyed, [](QObject* gone) { allMarks().remove(gone); });
    return marks[w];
}

bool concealed(const QObject* o) {
    const Marks* m = marksOf(o);
    return m && m->concealed;
}

// The widget's children that are shown to assistive technologies.
QWidgetList exposedChildren(const QWidget* w) {
    QWidgetList kids;
    for (QObject* o : w->children())
        if (o->isWidgetType() && !static_cast<QWidget*>(o)->isWindow() && !concealed(o))
            kids << static_cast<QWidget*>(o);
    return kids;
}

class Exposed : public QAccessibleWidget {
public:
    Exposed(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    int childCount() const override { return int(exposedChildren(widget()).size()); }
    QAccessibleInterface* child(int index) const override {
        const QWidgetList kids = exposedChildren(widget());
        return index >= 0 && index < kids.size()
                   ? QAccessible::queryAccessibleInterface(kids[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || !child->object() || !child->object()->isWidgetType())
            return -1;
        return int(exposedChildren(widget()).indexOf(static_cast<QWidget*>(child->object())));
    }

    // Only what names this widget: a connection to a signal says nothing to the player.
    QList<std::pair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override {
        auto rels =
            QAccessibleWidget::relations(match & (QAccessible::Label | QAccessible::Labelled));
        if (match & QAccessible::Label)
            if (const Marks* m = marksOf(widget()); m && m->label)
                if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(m->label))
                    rels.append({iface, QAccessible::Label});
        return rels;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (const QAbstractButton* b = button(); b && b->isCheckable()) {
            s.checkable = true;
            s.checked = b->isChecked();
        }
        const Marks* m = marksOf(widget());
        s.pressed = s.pressed || (m && m->pressed);
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (role() == QAccessible::Link || button())
            names.prepend(button() && button()->isCheckable() ? toggleAction() : pressAction());
        return names;
    }
    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) {
            if (QAbstractButton* b = button())
                b->click();
            else if (auto* link = dynamic_cast<ClickLabel*>(widget()); link && link->clicked)
                link->clicked();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return qobject_cast<QAbstractButton*>(widget()); }
};

// The volume knob as a slider whose value is its level, 0 to 100 %.
class Knob : public Exposed, public QAccessibleValueInterface {
public:
    explicit Knob(playback::VolumeKnob* knob) : Exposed(knob, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return Exposed::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QStringLiteral("%1 %").arg(knob()->level());
        return Exposed::text(t);
    }
    QVariant currentValue() const override { return knob()->level(); }
    void setCurrentValue(const QVariant& value) override { knob()->setLevel(value.toInt()); }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    playback::VolumeKnob* knob() const { return static_cast<playback::VolumeKnob*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    const Marks* m = marksOf(object);
    if (!m || !m->role)
        return nullptr;
    if (auto* knob = qobject_cast<playback::VolumeKnob*>(object))
        return new Knob(knob);
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return new LineEditAccessible(edit);
    return new Exposed(static_cast<QWidget*>(object), *m->role);
}

} // namespace

// An interface made before the widget was marked is dropped, so that the next query makes the
// marked one. Qt makes a label's or a line edit's interface as soon as its text is set,
// screen reader or not; any other widget's only once one listens.
void forgetStockInterface(QWidget* w) {
    if (!QAccessible::isActive() && !qobject_cast<QLabel*>(w) && !qobject_cast<QLineEdit*>(w))
        return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (iface && !dynamic_cast<Exposed*>(iface) && !dynamic_cast<LineEditAccessible*>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void exposeAs(QWidget* w, QAccessible::Role role) {
    mark(w).role = role;
    forgetStockInterface(w);
}

void labelBy(QWidget* container, QWidget* label) {
    mark(container).label = label;
}

void setPressed(QWidget* button, bool pressed) {
    mark(button).pressed = pressed;
}

void conceal(QWidget* w) {
    mark(w).concealed = true;
}

void installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace window::accessibility
