// The object model of the UI layer.
//
// Creation. Every view, view controller, gesture recogniser, bar item and
// alert is made in two steps, as the platform's alloc/init:
//
//     auto label = ui::create<ui::Label>(ui::Rect{5, 5, 60, 30});   // initWithFrame:
//     auto vc    = ui::create<SSZTFrontViewController>();             // init
//     auto nav   = ui::create<ui::NavigationController>(vc);          // initWithRootViewController:
//
// ui::create<T>(args...) default-constructs T with std::make_shared and then
// calls T's designated initializer, named init(...), with the arguments. A
// view created without arguments is initialised with the zero rectangle
// (init = initWithFrame:CGRectZero). Because the object is already owned by a
// shared_ptr when init runs, init may hand out shared_from_this() (set itself
// as a delegate or target, add subviews). A subclass overrides the init it
// needs and calls its base's first:
//
//     class NavBarView : public ui::ImageView {
//     public:
//         void init(const ui::Rect& frame) override {
//             ui::ImageView::init(frame);
//             leftButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
//             addSubview(leftButton);
//         }
//     };
//
// Constructors take no arguments and do nothing but set defaults; never use
// an object that init has not run on.
//
// Ownership. Views, view controllers and the like are owned through
// std::shared_ptr. Superviews, parent view controllers, delegates and targets
// are std::weak_ptr: a control whose target has gone does nothing, a delegate
// that has gone hears nothing.
//
// Class tests: isKindOfClass: is std::dynamic_pointer_cast (or ui::isKind<T>);
// the exact class is typeid(*p) == typeid(T) (or ui::isMemberOfClass<T>).
//
// Target-action. A target and an action are an object and one of its member
// functions, taking nothing or the sender as a shared_ptr of any class the
// sender is:
//
//     button->addTarget(this, &MyScreen::subit, ui::ControlEventTouchUpInside);
//     void MyScreen::subit(std::shared_ptr<ui::Button> sender) { ... sender->tag() ... }
//
// The target may be given as `this` (when it derives from ui::Object) or as
// a shared_ptr; it is held weakly. The same target and action count once.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "uikit/Geometry.h"

namespace ui {

class View;

class Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // The owning pointer of this object as T (nullptr when it is not a T).
    template <typename T = Object>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }
    template <typename T = Object>
    std::shared_ptr<const T> sharedAs() const {
        return std::dynamic_pointer_cast<const T>(shared_from_this());
    }
    template <typename T = Object>
    std::weak_ptr<T> weakAs() {
        return sharedAs<T>();
    }

    // Class name for dumps: the C++ name, demangled ("ui::Label", "SSXWCell").
    std::string className() const;
};

template <typename T, typename... A>
std::shared_ptr<T> create(A&&... args) {
    auto p = std::make_shared<T>();
    if constexpr (sizeof...(A) == 0 && std::is_base_of_v<View, T>) {
        p->init(Rect{});
    } else {
        p->init(std::forward<A>(args)...);
    }
    return p;
}

template <typename T, typename U>
bool isKind(const std::shared_ptr<U>& p) {
    return p && dynamic_cast<const T*>(p.get()) != nullptr;
}
template <typename T, typename U>
bool isMemberOfClass(const std::shared_ptr<U>& p) {
    return p && typeid(*p) == typeid(T);
}

// Demangled name of a type.
std::string demangle(const char* mangled);

namespace detail {

template <typename M>
struct MemberFn;
#define KL_UI_MEMBER_FN(CV)                                  \
    template <typename R, typename C, typename... A>         \
    struct MemberFn<R (C::*)(A...) CV> {                     \
        using Class = C;                                     \
        static constexpr std::size_t arity = sizeof...(A);   \
        using Args = std::tuple<A...>;                       \
    };
KL_UI_MEMBER_FN()
KL_UI_MEMBER_FN(const)
KL_UI_MEMBER_FN(noexcept)
KL_UI_MEMBER_FN(const noexcept)
#undef KL_UI_MEMBER_FN

template <typename P>
struct SharedArg;
template <typename X>
struct SharedArg<std::shared_ptr<X>> {
    using Element = X;
};

}  // namespace detail

// One target and action, held weakly, comparable for deduplication.
class Action {
public:
    Action() = default;

    template <typename T, typename M>
    static Action make(const std::shared_ptr<T>& target, M action) {
        static_assert(std::is_member_function_pointer_v<M>, "an action is a member function");
        using Traits = detail::MemberFn<M>;
        static_assert(Traits::arity <= 1, "an action takes nothing or its sender");
        Action a;
        a.target_ = target;
        a.key_ = identity(target.get());
        a.actionType_ = std::type_index(typeid(M));
        a.actionBytes_.assign(reinterpret_cast<const char*>(&action), sizeof(M));
        a.invoke_ = [action](const std::shared_ptr<void>& t, const std::shared_ptr<Object>& sender) {
            T* obj = static_cast<T*>(t.get());
            if constexpr (Traits::arity == 0) {
                (void)sender;
                (obj->*action)();
            } else {
                using P = std::remove_cvref_t<std::tuple_element_t<0, typename Traits::Args>>;
                using X = typename detail::SharedArg<P>::Element;
                (obj->*action)(std::dynamic_pointer_cast<X>(sender));
            }
        };
        return a;
    }

    // A target given as `this`: the object must already be owned by a shared_ptr.
    template <typename T, typename M>
        requires std::is_base_of_v<Object, T>
    static Action make(T* target, M action) {
        return make(std::dynamic_pointer_cast<T>(target->shared_from_this()), action);
    }

    // Same target object and same member function.
    bool sameAs(const Action& o) const {
        return key_ == o.key_ && actionType_ == o.actionType_ && actionBytes_ == o.actionBytes_;
    }
    bool sameTarget(const void* key) const { return key_ == key; }
    bool isNull() const { return !invoke_; }
    bool targetAlive() const { return !target_.expired(); }
    const void* targetKey() const { return key_; }

    // Calls the action when the target is still alive (keeping it alive while
    // it runs). Returns whether it ran.
    bool send(const std::shared_ptr<Object>& sender) const {
        if (!invoke_) return false;
        auto t = target_.lock();
        if (!t) return false;
        invoke_(t, sender);
        return true;
    }

    template <typename T>
    static const void* identity(const T* p) {
        if constexpr (std::is_polymorphic_v<T>) {
            return dynamic_cast<const void*>(p);
        } else {
            return static_cast<const void*>(p);
        }
    }

private:
    std::weak_ptr<void> target_;
    const void* key_ = nullptr;
    std::type_index actionType_ = std::type_index(typeid(void));
    std::string actionBytes_;
    std::function<void(const std::shared_ptr<void>&, const std::shared_ptr<Object>&)> invoke_;
};

}  // namespace ui
