#pragma once

#include <string>

namespace pw::testing {

// Page script that, once the message guard is in place, replaces or hooks everything a
// wrapper could touch while it posts: Object's functions, JSON.stringify, Reflect,
// Function.prototype.call, apply and bind, setters and getters on Object.prototype and
// Array.prototype (the token's key and every descriptor field), the array iterator and
// push. What the hooks see goes into `seen` (with `n` entries); `undo` takes them away.
inline constexpr const char* guardHooks = R"JS(
  var seen = Object.create(null); var n = 0; var undo = [];
  const spy = function () { for (let i = 0; i < arguments.length; i++) seen[n++] = arguments[i]; };
  const bare = (d) => Object.assign(Object.create(null), d);  // no prototype for the hooks to answer in
  const replace = (object, key, descriptor) => {
    const before = Object.getOwnPropertyDescriptor(object, key);
    const saved = before && bare(before);
    undo.unshift(() => saved ? Object.defineProperty(object, key, saved) : delete object[key]);
    Object.defineProperty(object, key, bare(Object.assign(bare({ configurable: true }), descriptor)));
  };
  const applyTo = Reflect.apply;  // the hooks' own way to call on, taken before Reflect is hooked
  const hook = (object, name) => { const original = object[name];
    replace(object, name, { writable: true, value: function (...args) { spy(this, args); return applyTo(original, this, args); } }); };
  for (const name of ['assign', 'keys', 'create', 'defineProperty', 'entries', 'fromEntries', 'getOwnPropertyNames'])
    hook(Object, name);
  hook(JSON, 'stringify');
  for (const name of Object.getOwnPropertyNames(Reflect)) hook(Reflect, name);
  hook(Array, 'isArray');
  for (const name of ['call', 'apply', 'bind'])
    replace(Function.prototype, name, { writable: true, value: function () { spy(this, arguments); } });
  const accessor = { set(v) { spy(this, v); }, get() { spy(this); } };
  for (const key of ['__pagewickToken', 'value', 'get', 'set', 'writable', 'enumerable', 'configurable', 'type', 'kind', 'path'])
    replace(Object.prototype, key, accessor);
  for (const key of ['0', '1', '2', '3']) replace(Array.prototype, key, accessor);
  replace(Array.prototype, Symbol.iterator, { writable: true, value: function () { spy(this); return [][Symbol.iterator](); } });
  replace(Array.prototype, 'push', { writable: true, value: function () { spy(this, arguments); } });
  // A body that runs page code while it is read.
  var spied = (body) => new Proxy(body, { get: (t, k, r) => { spy(t, k, r); return t[k]; },
    ownKeys: (t) => { spy(t); return Object.keys(t); } });
)JS";

inline constexpr const char* undoGuardHooks = "for (let i = 0; i < undo.length; i++) undo[i]();";

// An expression, once the hooks are undone: "none" when nothing the hooks saw holds the
// secret, as a value or anywhere inside one, and the handler's source does not show it.
inline std::string secretSeenBy(const std::string& secret)
{
    return "(() => { const SECRET = '" + secret + R"JS(';
      if (n < 10) return 'the hooks never ran';
      const visited = new Set();
      const holds = (v, depth) => {
        if (v === SECRET) return true;
        if (!v || (typeof v !== 'object' && typeof v !== 'function') || depth > 3 || visited.has(v)) return false;
        visited.add(v);
        for (const k of Reflect.ownKeys(v)) {
          const d = Object.getOwnPropertyDescriptor(v, k);
          if (d && 'value' in d && holds(d.value, depth + 1)) return true;
        }
        return false;
      };
      for (let i = 0; i < n; i++) if (holds(seen[i], 0)) return 'seen';
      return String(window.webkit.messageHandlers.pagewick.postMessage).includes(SECRET) ? 'in the source' : 'none';
    })())JS";
}

}  // namespace pw::testing
