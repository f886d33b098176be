// The operator's page: the control port's requests, answers and events over a WebSocket of the
// page's own address (one JSON object per message), drawn as one tile per layer.
"use strict";

const page = {
  socket: null,
  nextId: 1,
  pending: new Map(),   // id -> what the request was, for its answer
  sceneAsked: new Map(), // id of a "scene" request -> the layer whose form it fills
  tiles: new Map(),     // layer number -> tile element
  scenes: [],
  selected: 0,          // layer number of the selected tile
  ready: false,         // hello answered: requests may go
  stateQueued: false,
  retryMs: 500,
};

const $ = (selector, root = document) => root.querySelector(selector);
const tokenKey = "orvane.token";

function send(request, what) {
  if (!page.socket || page.socket.readyState !== WebSocket.OPEN)
    return 0;
  const id = page.nextId++;
  page.pending.set(id, what || request.do);
  page.socket.send(JSON.stringify(Object.assign({ id: id }, request)));
  return id;
}

function showMessage(text) {
  const message = $("[data-message]");
  message.textContent = text;
  message.hidden = !text;
}

// ---- Connection: hello (with the tab's token), then subscribe, state and scenes
function connect() {
  const scheme = location.protocol === "https:" ? "wss://" : "ws://";
  const socket = new WebSocket(scheme + location.host + "/control");
  page.socket = socket;
  page.ready = false;
  socket.onopen = () => {
    page.retryMs = 500;
    setConnection("connected", true);
    hello();
  };
  socket.onmessage = (message) => {
    let data;
    try { data = JSON.parse(message.data); } catch (e) { return; }
    if (data.event)
      onEvent(data);
    else
      onAnswer(data);
  };
  socket.onclose = () => {
    if (page.socket !== socket)
      return;
    page.ready = false;
    setConnection("disconnected: trying again", false);
    page.pending.clear();
    setTimeout(connect, page.retryMs);
    page.retryMs = Math.min(page.retryMs * 2, 5000);
  };
}

function setConnection(text, up) {
  const connection = $("[data-connection]");
  connection.textContent = text;
  connection.classList.toggle("up", up);
}

// Without a token kept for the tab the page just starts: an output that wants one answers
// "unauthorized", and the page asks for it (a hello without one would count as a wrong one).
function hello() {
  const token = sessionStorage.getItem(tokenKey);
  if (token)
    send({ do: "hello", token: token }, "hello");
  else
    started();
}

function started() {
  page.ready = true;
  $("[data-token]").hidden = true;
  send({ do: "subscribe" });
  send({ do: "scenes" });
  send({ do: "state" });
}

function askToken(why) {
  const form = $("[data-token]");
  form.hidden = false;
  $("[data-token-error]").textContent = why;
  $("input[name=token]", form).focus();
}

// ---- Answers
function onAnswer(answer) {
  const what = page.pending.get(answer.id);
  const sceneOf = page.sceneAsked.get(answer.id);
  page.pending.delete(answer.id);
  page.sceneAsked.delete(answer.id);
  if (what === "hello") {
    if (answer.ok) {
      started();
    } else {
      sessionStorage.removeItem(tokenKey);
      askToken("That token is not this output's.");
    }
    return;
  }
  if (!answer.ok) {
    if (answer.error === "unauthorized") {
      page.ready = false;
      askToken("");
      return;
    }
    showMessage((what || "Request") + " refused: " + answer.error);
    return;
  }
  if (what === "state")
    showState(answer);
  else if (what === "scenes")
    showScenes(answer.scenes || []);
  else if (sceneOf)
    showScene(tileOf(sceneOf), answer);
}

function showState(state) {
  document.title = "Output " + state.box + " – Orvane";
  $("[data-title]").textContent = "Output " + state.box;
  for (const layer of state.layers || []) {
    const tile = tileOf(layer.layer);
    $(".scene-name", tile).textContent = layer.scene || "";
    $(".status", tile).textContent = layer.status || "";
    setLamp(tile, !!layer.onAir);
    const select = $("select[data-scene]", tile);
    if (document.activeElement !== select && layer.scene)
      select.value = layer.scene;
    // the scene's data and triggers again when the tile's scene or its layer's status changed
    const seen = [select.value, layer.scene, layer.loaded, layer.status].join("|");
    if (tile.dataset.seen !== seen) {
      tile.dataset.seen = seen;
      askScene(layer.layer);
    }
  }
  if (!page.selected && state.layers && state.layers.length)
    select(state.current && state.current.layer ? state.current.layer : state.layers[0].layer);
}

function showScenes(scenes) {
  page.scenes = scenes;
  for (const tile of page.tiles.values())
    fillScenes(tile);
}

function fillScenes(tile) {
  const select = $("select[data-scene]", tile);
  const chosen = select.value || $(".scene-name", tile).textContent;
  select.replaceChildren(...page.scenes.map((scene) => new Option(scene, scene)));
  if (chosen)
    select.value = chosen;
}

// The whole state again after replies, at most once per burst of events.
function refreshState() {
  if (page.stateQueued)
    return;
  page.stateQueued = true;
  setTimeout(() => {
    page.stateQueued = false;
    if (page.ready)
      send({ do: "state" });
  }, 50);
}

// ---- Events
function onEvent(event) {
  if (event.event === "tally") {
    setLamp(tileOf(event.layer), !!event.onAir);
  } else if (event.event === "reply") {
    const reply = event.reply || {};
    if (reply.data && reply.data.status)
      $(".status", tileOf(event.layer)).textContent = reply.data.status;
    refreshState();
  } else if (event.event === "problem") {
    addProblem(event);
  } else if (event.event === "data") {
    // a template's data changed on air (from any page or client): its forms show it again
    for (const layer of event.layer ? [event.layer] : page.tiles.keys())
      askScene(layer);
  }
}

function setLamp(tile, onAir) {
  const lamp = $(".lamp", tile);
  const value = onAir ? "true" : "false";
  if (lamp.dataset.onair !== value)
    lamp.dataset.onair = value;
  tile.classList.toggle("onair", onAir);
}

function addProblem(problem) {
  const list = $("[data-problems]");
  const item = document.createElement("li");
  item.className = problem.status === "Error" ? "Error" : "Warning";
  item.textContent = problem.number + "  " + problem.status + "  " + problem.text;
  list.prepend(item);
  while (list.children.length > 100)
    list.lastElementChild.remove();
}

// ---- Tiles
function tileOf(layer) {
  let tile = page.tiles.get(layer);
  if (tile)
    return tile;
  tile = $("[data-tile-template]").content.firstElementChild.cloneNode(true);
  tile.dataset.layer = String(layer);
  $(".number", tile).textContent = String(layer);
  tile.addEventListener("click", (e) => {
    select(layer);
    const button = e.target.closest("button[data-do]");
    if (button && button.dataset.do !== "update")
      command(layer, button.dataset.do);
  });
  tile.addEventListener("focusin", () => select(layer));
  $("[data-form]", tile).addEventListener("submit", (e) => {
    e.preventDefault();
    update(layer);
  });
  $("select[data-scene]", tile).addEventListener("change", () => askScene(layer));
  page.tiles.set(layer, tile);
  fillScenes(tile);
  // tiles stay in layer order whatever order they are made in
  const layers = $("[data-layers]");
  const after = [...layers.children].find((t) => Number(t.dataset.layer) > layer);
  layers.insertBefore(tile, after || null);
  return tile;
}

function select(layer) {
  if (page.selected === layer)
    return;
  const old = page.tiles.get(page.selected);
  if (old)
    old.classList.remove("selected");
  page.selected = layer;
  const tile = page.tiles.get(layer);
  if (tile)
    tile.classList.add("selected");
}

const commandNames = { cue: "Cue", play: "Play", stop: "Stop", continue: "Continue", eject: "Eject" };

function command(layer, what) {
  showMessage("");
  if (what === "ejectAll") {
    send({ do: "ejectAll" }, "Eject All");
    return;
  }
  const tile = tileOf(layer);
  const request = { do: what, layer: layer };
  const scene = $("select[data-scene]", tile).value;
  if (scene && what !== "stop" && what !== "eject")
    request.scene = scene;
  const trigger = $("select[data-trigger]", tile);
  if (what === "continue" && !trigger.hidden && trigger.value)
    request.trigger = trigger.value;
  send(request, (commandNames[what] || what) + " on layer " + layer);
}

// ---- The scene's data (one input per field of its template) and its triggers
function askScene(layer) {
  const scene = $("select[data-scene]", tileOf(layer)).value;
  if (!scene || !page.ready)
    return;
  const id = send({ do: "scene", scene: scene, layer: layer }, "Data of layer " + layer);
  if (id)
    page.sceneAsked.set(id, layer);
}

function showScene(tile, answer) {
  if (answer.scene !== $("select[data-scene]", tile).value)
    return; // another scene was chosen meanwhile: its own answer follows
  const fields = $("[data-fields]", tile);
  const given = answer.fields || [];
  // another scene or other fields: new inputs; the same keep theirs (and the focus)
  const names = (list) => list.map((field) => field.name).join("\n");
  if (tile.dataset.formScene !== answer.scene || names([...fields.querySelectorAll("input")]) !== names(given)) {
    tile.dataset.formScene = answer.scene;
    fields.replaceChildren(...given.map((field) => {
      const label = document.createElement("label");
      const caption = document.createElement("span");
      caption.textContent = field.name;
      const input = document.createElement("input");
      input.name = field.name;
      input.addEventListener("input", () => { input.dataset.edited = "true"; });
      label.append(caption, input);
      return label;
    }));
  }
  given.forEach((field, i) => {
    const input = $("input", fields.children[i]);
    if (input === document.activeElement || input.dataset.edited)
      return; // what the producer has typed and not yet sent stays
    // a number, a list or an object goes back as JSON; text as it is typed
    const text = typeof field.value === "string";
    input.value = text ? field.value : JSON.stringify(field.value);
    input.dataset.json = text ? "" : "true";
  });
  // Update gives the template on the layer new data: only while the form shows the layer's scene
  $("[data-do=update]", tile).disabled = answer.scene !== $(".scene-name", tile).textContent;
  const triggers = $("select[data-trigger]", tile);
  const chosen = triggers.value;
  triggers.replaceChildren(...(answer.triggers || []).map((t) => new Option(t.title, t.id)));
  triggers.hidden = !triggers.options.length;
  if ([...triggers.options].some((o) => o.value === chosen))
    triggers.value = chosen;
}

function update(layer) {
  const data = {};
  for (const input of $("[data-fields]", tileOf(layer)).querySelectorAll("input")) {
    delete input.dataset.edited;
    data[input.name] = input.value;
    if (input.dataset.json) {
      try { data[input.name] = JSON.parse(input.value); } catch (e) { /* sent as the text typed */ }
    }
  }
  showMessage("");
  send({ do: "update", layer: layer, data: data }, "Update on layer " + layer);
}

// ---- Keys of the window, on the selected tile
const keyCommands = { F1: "stop", F2: "play", F3: "cue", F5: "continue", F8: "eject" };

document.addEventListener("keydown", (e) => {
  if (e.key === "F8" && e.shiftKey) {
    e.preventDefault();
    command(page.selected, "ejectAll");
    return;
  }
  const what = keyCommands[e.key];
  if (what) {
    e.preventDefault();
    if (page.selected)
      command(page.selected, what);
    return;
  }
  if ((e.key === "ArrowRight" || e.key === "ArrowLeft") && e.target.classList.contains("tile")) {
    const layers = [...page.tiles.keys()].sort((a, b) => a - b);
    const at = layers.indexOf(page.selected) + (e.key === "ArrowRight" ? 1 : -1);
    if (at >= 0 && at < layers.length)
      page.tiles.get(layers[at]).focus();
  }
});

// ---- The program picture, when the output has one
function program() {
  const figure = $("[data-program]");
  const image = $("[data-program-image]");
  image.onload = () => {
    figure.hidden = false;
    setTimeout(nextPicture, 500);
  };
  image.onerror = () => {
    figure.hidden = true;
    setTimeout(nextPicture, 5000);
  };
  const nextPicture = () => { image.src = "/program.jpg?t=" + Date.now(); };
  nextPicture();
}

document.addEventListener("DOMContentLoaded", () => {
  $("[data-do=ejectAll]").addEventListener("click", () => command(page.selected, "ejectAll"));
  $("[data-token]").addEventListener("submit", (e) => {
    e.preventDefault();
    const token = $("input[name=token]").value;
    sessionStorage.setItem(tokenKey, token);
    if (page.socket && page.socket.readyState === WebSocket.OPEN)
      hello();
    else
      connect();
  });
  connect();
  program();
});
