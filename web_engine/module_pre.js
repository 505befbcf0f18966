// The host side of the engine module (web GUIs' engine contract): one USI
// line in with postMessage, each output line out to the listeners, and
// terminate(). Runs inside the module's factory, before the engine starts.
//
// Every call into the engine runs one after another: a search suspends its
// call while the host has its turn, and the lines posted meanwhile wait here
// until the search asks for them (Module.kestraneTakeLine).
(function () {
  'use strict';
  var MAX_PIECE = 9999;  // the engine reads a line in pieces of at most this many bytes
  var listeners = [];
  var pending = [];      // input pieces (Uint8Array) the engine has not taken yet
  var silent = false;    // after "quit" or terminate(): nothing more goes out
  var closed = false;    // no more input is taken
  var ended = false;     // the engine has seen the end of its input
  var ready = false;
  var pumpQueued = false;
  var chain = Promise.resolve();
  var outBytes = [];
  var encoder = new TextEncoder();
  var utf8 = new TextDecoder('utf-8', {fatal: true});
  var sjis = null;
  try { sjis = new TextDecoder('shift_jis'); } catch (e) { sjis = null; }

  // The engine writes its Japanese replies in Shift-JIS, as native front
  // ends expect; a host here gets text.
  function emit(bytes) {
    if (silent) return;
    var u = new Uint8Array(bytes), text;
    try {
      text = utf8.decode(u);
    } catch (e) {
      text = sjis ? sjis.decode(u) : String.fromCharCode.apply(null, u);
    }
    listeners.slice().forEach(function (fn) { fn(text); });
  }

  Module['stdout'] = function (c) {
    if (c === null || c === undefined) return;
    c &= 255;
    if (c === 10) {
      var line = outBytes;
      outBytes = [];
      emit(line);
    } else {
      outBytes.push(c);
    }
  };
  Module['stdin'] = function () { return null; };

  // The engine's call for its input: one piece, or -1 when none waits.
  Module['kestraneTakeLine'] = function (ptr, capacity) {
    if (!pending.length) return -1;
    var piece = pending.shift();
    if (piece.length > capacity - 1) piece = piece.subarray(0, capacity - 1);
    HEAPU8.set(piece, ptr);
    return piece.length;
  };

  // Runs `job` (returning a value or a promise) after every earlier one.
  function serial(job) {
    var run = chain.then(job);
    chain = run.then(function () {}, function () {});
    return run;
  }

  function pump() {
    if (pumpQueued || ended || !ready) return;
    pumpQueued = true;
    serial(function () {
      pumpQueued = false;
      if (ended) return 1;
      return Promise.resolve(ccall('kestrane_pump', 'number', [], [], {async: true})).then(function (over) {
        if (over) ended = true;
        else if (pending.length) pump();
      });
    }).catch(function (e) {
      if (Module['printErr']) Module['printErr']('kestrane: ' + (e && e.message ? e.message : e));
    });
  }

  function queueLine(text) {
    var bytes = encoder.encode(text);
    for (var at = 0; at < bytes.length; at += MAX_PIECE) pending.push(bytes.subarray(at, at + MAX_PIECE));
    // A line of exactly a piece's length is followed by an empty one, as
    // the native reader sees its line feed.
    if (bytes.length % MAX_PIECE === 0) pending.push(new Uint8Array(0));
  }

  Module['postMessage'] = function (message) {
    if (closed) return;
    String(message).split('\n').forEach(function (line, i, all) {
      if (closed || (i === all.length - 1 && line === '' && all.length > 1)) return;
      if (line.endsWith('\r')) line = line.slice(0, -1);
      // Unlike the native engine, which answers a running solve for scripts,
      // a web host's "quit" ends everything silently.
      if (line.slice(0, 4) === 'quit') {
        silent = true;
        closed = true;
      }
      queueLine(line);
    });
    pump();
  };

  Module['addMessageListener'] = function (fn) { listeners.push(fn); };
  Module['removeMessageListener'] = function (fn) {
    var i = listeners.indexOf(fn);
    if (i >= 0) listeners.splice(i, 1);
  };

  Module['terminate'] = function () {
    silent = true;
    if (!closed) {
      closed = true;
      queueLine('quit');  // ends a running search at its next turn
      pump();
    }
    listeners = [];
  };

  // The page's own calls, after any search: `name` returns text that the
  // engine allocated; the promise gives it as a string.
  Module['kestraneText'] = function (name, argTypes, args) {
    return serial(function () {
      return Promise.resolve(ccall(name, 'number', argTypes, args, {async: true})).then(function (ptr) {
        var text = ptr ? UTF8ToString(ptr) : '';
        if (ptr) _free(ptr);
        return text;
      });
    });
  };

  var initialised = Module['onRuntimeInitialized'];
  Module['onRuntimeInitialized'] = function () {
    if (initialised) initialised();
    _kestrane_start();
    ready = true;
    pump();
  };
})();
