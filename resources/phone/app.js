// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
//
// The counting page for phones. It talks to the desk's server through its JSON API and keeps
// every line it has not yet handed over in the browser's storage, so that a line counted while
// the server is away (or whose answer was lost) is sent again until the server has answered.
// Each line carries an identifier made here; the server registers an identifier once, so a
// resend never makes a second line.
"use strict";

(function () {
    const STORE = "kotrina.phone.lines";
    const CATEGORY = "kotrina.phone.category";
    const SEARCH_DELAY = 150; // ms after the last key before the products are looked up
    const RETRY_FIRST = 2000;
    const RETRY_LAST = 30000;
    const REQUEST_TIMEOUT = 15000;

    const $ = (id) => document.getElementById(id);
    const el = {
        title: $("title"),
        date: $("date"),
        phone: $("phone"),
        notice: $("notice"),
        unpaired: $("unpaired"),
        unpairedKept: $("unpaired-kept"),
        counting: $("counting"),
        finalised: $("finalised"),
        form: $("line-form"),
        category: $("category"),
        search: $("product-search"),
        choices: $("product-choice"),
        camera: $("camera"),
        cameraNote: $("camera-note"),
        cameraView: $("camera-view"),
        cameraVideo: $("camera-video"),
        cameraStop: $("camera-stop"),
        unit: $("unit"),
        units: $("units"),
        price: $("price"),
        note: $("note"),
        quantity: $("quantity"),
        amount: $("amount"),
        pad: $("pad"),
        register: $("register"),
        cancelEdit: $("cancel-edit"),
        summary: $("lines-summary"),
        list: $("my-lines"),
    };

    let state = null; // the answer of /api/state
    let editing = null; // the key of the line being changed
    let flushing = false;
    let retryDelay = RETRY_FIRST;
    let retryTimer = 0;
    let searchTimer = 0;
    let searchSeq = 0;
    let answered = 0; // counts the answers to this phone's requests and its own changes

    // ---- The lines kept on this phone ------------------------------------------------------
    //
    // book.lines maps a line's key to
    //   { key, id, category, product, quantity, unit, price, amount, note,
    //     created,            // when it was counted here (for the order of the list)
    //     pending,            // null, or the request still owed to the server: post, put, delete
    //     tried,              // a request of it may have reached the server
    //     sent,               // the server has registered it
    //     refused }           // the server's reason when it refused the last request
    let book = load();

    function load() {
        try {
            const kept = JSON.parse(localStorage.getItem(STORE) || "null");
            if (kept && typeof kept === "object" && kept.lines)
                return kept;
        } catch (e) {
            // A damaged entry is replaced by the next save.
        }
        return { lines: {}, seq: 0 };
    }

    function save() {
        try {
            localStorage.setItem(STORE, JSON.stringify(book));
            return true;
        } catch (e) {
            showNotice("この端末のブラウザに行を保存できません（保存領域が一杯か、使えない設定です）。"
                + "送信されるまでこの画面を閉じないでください。");
            return false;
        }
    }

    function newKey() {
        if (window.crypto && typeof crypto.randomUUID === "function")
            return crypto.randomUUID();
        // randomUUID is offered only on HTTPS; plain HTTP on the shop's network has getRandomValues.
        const b = crypto.getRandomValues(new Uint8Array(16));
        b[6] = (b[6] & 0x0f) | 0x40;
        b[8] = (b[8] & 0x3f) | 0x80;
        const h = Array.from(b, (x) => x.toString(16).padStart(2, "0")).join("");
        return `${h.slice(0, 8)}-${h.slice(8, 12)}-${h.slice(12, 16)}-${h.slice(16, 20)}-${h.slice(20)}`;
    }

    function bodyOf(line) {
        return {
            key: line.key,
            // Without a category the line goes to 0 (未区分), even where the file has no row 0.
            category: line.category || null,
            // The settlement date the line was counted for: the server refuses it for another.
            date: line.date || undefined,
            product: line.product,
            quantity: line.quantity,
            unit: line.unit,
            price: line.price,
            note: line.note,
        };
    }

    function sameFields(a, b) {
        return (a.category || 0) === (b.category || 0) && a.product === b.product && a.quantity === b.quantity
            && (a.unit || "") === (b.unit || "") && a.price === b.price && (a.note || "") === (b.note || "");
    }

    function unsentCount() {
        return Object.values(book.lines).filter((l) => l.pending).length;
    }

    // ---- Talking to the server ---------------------------------------------------------------

    class Unreachable extends Error {}

    async function api(method, path, body) {
        const headers = { Accept: "application/json" };
        if (method !== "GET") {
            headers["X-CSRF-Token"] = state ? state.csrf : "";
            if (body !== undefined)
                headers["Content-Type"] = "application/json";
        }
        const abort = new AbortController();
        const timer = setTimeout(() => abort.abort(), REQUEST_TIMEOUT);
        let response;
        try {
            response = await fetch(path, {
                method,
                headers,
                body: body === undefined ? undefined : JSON.stringify(body),
                credentials: "same-origin",
                cache: "no-store",
                signal: abort.signal,
            });
        } catch (e) {
            throw new Unreachable(String(e));
        } finally {
            clearTimeout(timer);
        }
        let data = null;
        const text = await response.text().catch(() => "");
        if (text) {
            try {
                data = JSON.parse(text);
            } catch (e) {
                data = null;
            }
        }
        return { status: response.status, ok: response.ok, data };
    }

    function errorText(answer) {
        if (answer.data && typeof answer.data.error === "string" && answer.data.error)
            return answer.data.error;
        return `サーバーが要求を受け付けませんでした（${answer.status}）。`;
    }

    // ---- Messages ----------------------------------------------------------------------------

    function showNotice(text, info) {
        el.notice.textContent = text;
        el.notice.classList.toggle("info", !!info);
        el.notice.hidden = !text;
    }

    function clearNotice() {
        showNotice("");
    }

    // ---- The state of the desk ---------------------------------------------------------------

    async function refreshState() {
        let answer;
        try {
            answer = await api("GET", "/api/state");
        } catch (e) {
            showNotice("サーバーに接続できません。パソコンの Kotrina でスマートフォンでの入力が開いているか確かめてください。"
                + "入力した行はこの端末に残し、つながりしだい送信します。");
            return "unreachable";
        }
        if (answer.status === 401 || answer.status === 403) {
            state = null;
            showUnpaired();
            return "unpaired";
        }
        if (!answer.ok || !answer.data) {
            showNotice(errorText(answer));
            return "error";
        }
        const firstTime = !state;
        state = answer.data;
        showState(firstTime);
        return "ok";
    }

    function showUnpaired() {
        el.counting.hidden = true;
        el.unpaired.hidden = false;
        el.phone.textContent = "";
        el.date.parentElement.hidden = true;
        el.title.hidden = false;
        const kept = unsentCount();
        el.unpairedKept.hidden = kept === 0;
        el.unpairedKept.textContent = `このスマートフォンには、まだ送信していない行が ${kept} 件あります。ペアリングすると送信されます。`;
    }

    function showState(firstTime) {
        el.unpaired.hidden = true;
        el.counting.hidden = false;
        el.date.parentElement.hidden = false;
        el.title.hidden = true; // the date and the phone's name need the width
        el.date.textContent = state.date || "";
        el.phone.textContent = state.phone || "";
        el.finalised.hidden = !state.finalised;
        el.finalised.textContent = state.finalised
            ? "この決算日の棚卸は確定済みです。入力・変更・削除はできません。"
            : "";
        el.register.disabled = !!state.finalised;

        const chosen = el.category.value || localStorage.getItem(CATEGORY) || "0";
        el.category.replaceChildren();
        const categories = Array.isArray(state.categories) ? state.categories : [];
        if (!categories.some((c) => c.id === 0))
            categories.unshift({ id: 0, name: "未区分" });
        for (const c of categories) {
            const option = document.createElement("option");
            option.value = String(c.id);
            option.textContent = c.name;
            el.category.append(option);
        }
        el.category.value = categories.some((c) => String(c.id) === chosen) ? chosen : "0";

        el.units.replaceChildren();
        for (const u of Array.isArray(state.units) ? state.units : []) {
            const option = document.createElement("option");
            option.value = u;
            el.units.append(option);
        }
        showCamera();
        if (firstTime)
            el.search.focus();
    }

    function categoryName(id) {
        const found = state && Array.isArray(state.categories) ? state.categories.find((c) => c.id === id) : null;
        return found ? found.name : id === 0 ? "未区分" : `項目ID ${id}`;
    }

    // ---- The lines of this phone on the server -------------------------------------------------

    async function refreshLines() {
        const before = answered;
        let answer;
        try {
            answer = await api("GET", "/api/lines");
        } catch (e) {
            return;
        }
        if (!answer.ok || !Array.isArray(answer.data))
            return;
        if (before !== answered)
            return; // a line went or changed while the list was read: the list may be older
        const onServer = new Set();
        for (const line of answer.data) {
            if (!line || typeof line.key !== "string")
                continue;
            onServer.add(line.key);
            const mine = book.lines[line.key];
            if (mine && (mine.pending || mine.refused))
                continue; // what this phone still owes the server wins
            book.lines[line.key] = Object.assign({ created: 0 }, mine || {}, line, {
                pending: null,
                tried: true,
                sent: true,
                refused: null,
            });
        }
        // A line the server no longer has (deleted at the desk, or of another date) leaves the list;
        // lines not yet handed over stay.
        for (const key of Object.keys(book.lines)) {
            const l = book.lines[key];
            if (!onServer.has(key) && !l.pending && !l.refused)
                delete book.lines[key];
        }
        save();
        render();
    }

    // ---- Handing the kept lines over -----------------------------------------------------------

    function nextPending() {
        return Object.values(book.lines)
            .filter((l) => l.pending)
            .sort((a, b) => a.queued - b.queued)[0];
    }

    function scheduleRetry() {
        clearTimeout(retryTimer);
        retryTimer = setTimeout(flush, retryDelay);
        retryDelay = Math.min(retryDelay * 2, RETRY_LAST);
    }

    async function flush() {
        if (flushing)
            return;
        clearTimeout(retryTimer);
        flushing = true;
        try {
            if (!state) {
                const how = await refreshState();
                if (how !== "ok") {
                    if (how !== "unpaired")
                        scheduleRetry();
                    return;
                }
                await refreshLines();
            }
            let line;
            while ((line = nextPending())) {
                const how = await send(line);
                if (how === "later") {
                    scheduleRetry();
                    return;
                }
                if (how === "stop")
                    return;
            }
            retryDelay = RETRY_FIRST;
            if (!el.notice.classList.contains("info") && /サーバーに接続できません/.test(el.notice.textContent))
                clearNotice();
        } finally {
            flushing = false;
            render();
        }
    }

    // Sends the request a line owes; "done" when the server answered (taken or refused), "later"
    // when it could not be reached, "stop" when this phone is no longer paired.
    async function send(line, again) {
        const key = line.key;
        const op = line.pending;
        const sentBody = bodyOf(line);
        let answer;
        try {
            line.tried = true;
            save();
            if (op === "post")
                answer = await api("POST", "/api/lines", sentBody);
            else if (op === "put")
                answer = await api("PUT", `/api/lines/${encodeURIComponent(key)}`, sentBody);
            else
                answer = await api("DELETE", `/api/lines/${encodeURIComponent(key)}`);
        } catch (e) {
            showNotice("サーバーに接続できません。入力した行はこの端末に残し、つながりしだい送信します。");
            return "later";
        }
        answered++;
        const now = book.lines[key];
        if (answer.status >= 500 || answer.status === 408 || answer.status === 429)
            return "later";
        if (answer.status === 401) {
            state = null;
            showUnpaired();
            return "stop";
        }
        if (answer.status === 403 && !again) {
            // The anti-forgery token may have changed (a new session): ask for the state again once.
            const how = await refreshState();
            if (how === "unpaired")
                return "stop";
            if (how !== "ok")
                return "later";
            return send(book.lines[key] || line, true);
        }
        if (!now)
            return "done";
        if (op === "delete") {
            if (answer.ok || answer.status === 404) {
                delete book.lines[key];
            } else {
                now.pending = null;
                now.refused = errorText(answer);
                showNotice(now.refused);
            }
            save();
            return "done";
        }
        if (answer.ok) {
            const got = answer.data && typeof answer.data === "object" ? answer.data : {};
            now.sent = true;
            now.refused = null;
            if (typeof got.id === "number")
                now.id = got.id;
            if (now.pending === "delete") {
                // Deleted here while the line was on its way: the delete is still owed.
            } else if (sameFields(bodyOf(now), sentBody)) {
                // The server's figures (its amount, the unit price it took) are the line's.
                Object.assign(now, pick(got), { pending: null });
                // A line that was already there under this key keeps what the server holds;
                // what this phone changed since must follow as a change.
                if (op === "post" && answer.status === 200 && !sameFields(pick(got), sentBody))
                    Object.assign(now, sentBody, { pending: "put" });
            } else {
                now.pending = "put"; // changed here while the request was on its way
            }
            save();
            return "done";
        }
        if (op === "post" && answer.status === 410) {
            // The line of this key was deleted since it was registered: there is nothing left to send.
            delete book.lines[key];
            showNotice(errorText(answer));
            save();
            return "done";
        }
        // The server answered with a refusal: the line stays on this phone with the reason, to be
        // changed or deleted; it is not sent again by itself.
        now.pending = null;
        now.refused = errorText(answer);
        showNotice(now.refused);
        save();
        return "done";
    }

    function pick(got) {
        const out = {};
        for (const f of ["category", "product", "quantity", "unit", "price", "amount", "note"]) {
            if (f in got)
                out[f] = got[f];
        }
        return out;
    }

    function queue(line, op) {
        answered++;
        line.pending = op;
        line.queued = ++book.seq;
        line.refused = null;
    }

    // ---- The form ------------------------------------------------------------------------------

    function numberOrText(text) {
        const t = text.trim();
        if (t === "")
            return null;
        return /^-?(\d+\.?\d*|\.\d+)$/.test(t) ? Number(t) : t;
    }

    function formatNumber(v) {
        if (v === null || v === undefined || v === "")
            return "";
        if (typeof v !== "number")
            return String(v);
        return v.toLocaleString("ja-JP", { maximumFractionDigits: 4 });
    }

    function lineAmount(line) {
        if (typeof line.amount === "number" && !line.pending)
            return line.amount;
        if (typeof line.quantity === "number" && typeof line.price === "number")
            return Math.trunc(line.quantity * line.price);
        return null;
    }

    function showAmount() {
        const q = numberOrText(el.quantity.value);
        const p = numberOrText(el.price.value);
        el.amount.textContent = typeof q === "number" && typeof p === "number"
            ? `金額 ${formatNumber(Math.trunc(q * p))}`
            : "";
    }

    function press(key) {
        let v = el.quantity.value;
        if (key === "back")
            v = v.slice(0, -1);
        else if (key === "clear")
            v = "";
        else if (key === "minus")
            v = v.startsWith("-") ? v.slice(1) : `-${v}`;
        else if (key === ".")
            v = v.includes(".") ? v : `${v || "0"}.`;
        else if (v.replace(/[^0-9]/g, "").length < 12)
            v = v === "0" ? key : v === "-0" ? `-${key}` : v + key;
        el.quantity.value = v;
        showAmount();
    }

    function resetForm() {
        editing = null;
        el.form.classList.remove("editing");
        el.register.textContent = "入力";
        el.cancelEdit.hidden = true;
        el.search.value = "";
        el.quantity.value = "";
        el.unit.value = "";
        el.price.value = "";
        el.note.value = "";
        showChoices([]);
        showAmount();
    }

    function submit(event) {
        event.preventDefault();
        if (!state) {
            flush();
            return;
        }
        if (state.finalised) {
            showNotice(el.finalised.textContent);
            return;
        }
        const product = el.search.value.trim();
        if (!product) {
            showNotice("商品が選択されていません。");
            el.search.focus();
            return;
        }
        if (!el.quantity.value.trim()) {
            showNotice("数量が入力されていません。");
            el.quantity.focus();
            return;
        }
        const fields = {
            category: Number(el.category.value || 0),
            product,
            quantity: numberOrText(el.quantity.value),
            unit: el.unit.value.trim(),
            price: numberOrText(el.price.value),
            note: el.note.value.trim(),
        };
        let line;
        if (editing && book.lines[editing]) {
            line = book.lines[editing];
            Object.assign(line, fields);
            // A line the server never heard of is still a new line; any other is a change.
            queue(line, line.sent ? "put" : "post");
        } else {
            line = Object.assign(
                { key: newKey(), id: null, created: Date.now(), sent: false, tried: false, date: state && state.date },
                fields);
            book.lines[line.key] = line;
            queue(line, "post");
        }
        save();
        showNotice(`${editing ? "変更しました" : "入力しました"}：${product}　${formatNumber(fields.quantity)}${fields.unit}`, true);
        resetForm();
        render();
        el.search.focus();
        flush();
    }

    function startEdit(key) {
        const line = book.lines[key];
        if (!line)
            return;
        editing = key;
        el.form.classList.add("editing");
        el.register.textContent = "変更";
        el.cancelEdit.hidden = false;
        el.category.value = String(line.category ?? 0);
        el.search.value = line.product || "";
        el.quantity.value = line.quantity === null || line.quantity === undefined ? "" : String(line.quantity);
        el.unit.value = line.unit || "";
        el.price.value = line.price === null || line.price === undefined ? "" : String(line.price);
        el.note.value = line.note || "";
        showChoices([]);
        showAmount();
        window.scrollTo({ top: 0 });
        el.quantity.focus();
    }

    function remove(key) {
        const line = book.lines[key];
        if (!line)
            return;
        if (state && state.finalised) {
            showNotice(el.finalised.textContent);
            return;
        }
        if (!confirm(`「${line.product}」（数量 ${formatNumber(line.quantity)}${line.unit || ""}）を削除します。よろしいですか。`))
            return;
        if (editing === key)
            resetForm();
        if (!line.sent && !line.tried) {
            delete book.lines[key]; // the server never saw it
        } else if (line.refused && !line.sent) {
            delete book.lines[key]; // refused: nothing was written
        } else {
            queue(line, "delete");
        }
        save();
        render();
        flush();
    }

    // ---- Looking up products -------------------------------------------------------------------

    async function lookUp(text) {
        const seq = ++searchSeq;
        let answer;
        try {
            answer = await api("GET", `/api/products?q=${encodeURIComponent(text)}`);
        } catch (e) {
            return null;
        }
        if (seq !== searchSeq)
            return null; // a later key has asked again
        if (!answer.ok) {
            if (answer.status === 401)
                showUnpaired();
            else
                showNotice(errorText(answer));
            return null;
        }
        return Array.isArray(answer.data) ? answer.data : [];
    }

    function showChoices(matches, text) {
        el.choices.replaceChildren();
        if (text && matches.length === 0) {
            const p = document.createElement("p");
            p.className = "empty";
            p.textContent = /^[0-9０-９]{8,14}$/.test(text)
                ? "このコードの品名は登録されていません。"
                : "一致する品名はありません（このまま入力すると新しい品名として登録されます）。";
            el.choices.append(p);
            return;
        }
        for (const m of matches) {
            const b = document.createElement("button");
            b.type = "button";
            const name = document.createElement("span");
            name.className = "name";
            name.textContent = m.name;
            const meta = document.createElement("span");
            meta.className = "meta";
            meta.textContent = [m.unit || "", m.price === null || m.price === undefined ? "" : `${formatNumber(m.price)}円`]
                .filter(Boolean)
                .join("　");
            b.append(name, meta);
            b.setAttribute("aria-label", `${m.name} ${meta.textContent}`);
            b.addEventListener("click", () => choose(m));
            el.choices.append(b);
        }
    }

    function choose(product) {
        el.search.value = product.name;
        if (product.unit)
            el.unit.value = product.unit;
        if (product.price !== null && product.price !== undefined)
            el.price.value = String(product.price);
        showChoices([]);
        showAmount();
        el.quantity.focus();
    }

    function searchTyped() {
        clearTimeout(searchTimer);
        const text = el.search.value.trim();
        if (!text) {
            searchSeq++;
            showChoices([]);
            return;
        }
        searchTimer = setTimeout(async () => {
            const matches = await lookUp(text);
            if (matches && el.search.value.trim() === text)
                showChoices(matches, text);
        }, SEARCH_DELAY);
    }

    // Enter in the search box: a scanner ends its code so, and so does a person who typed a name.
    async function searchEntered() {
        clearTimeout(searchTimer);
        const text = el.search.value.trim();
        if (!text)
            return;
        const matches = await lookUp(text);
        if (!matches)
            return;
        const exact = matches.find((m) => m.name === text);
        if (matches.length === 1 || exact)
            choose(exact || matches[0]);
        else
            showChoices(matches, text);
    }

    // ---- The camera ----------------------------------------------------------------------------

    let stream = null;
    let scanning = 0;

    function showCamera() {
        const secure = window.isSecureContext && location.protocol === "https:";
        const detector = "BarcodeDetector" in window;
        el.camera.hidden = !(secure && detector && navigator.mediaDevices);
        if (!secure)
            el.cameraNote.textContent = "カメラでの読み取りには HTTPS での接続が必要です。";
        else if (!detector)
            el.cameraNote.textContent = "このブラウザはカメラでのバーコード読み取りに対応していません。";
        else
            el.cameraNote.textContent = "";
    }

    async function startCamera() {
        try {
            const detector = new BarcodeDetector({ formats: ["ean_13", "ean_8", "upc_a"] });
            stream = await navigator.mediaDevices.getUserMedia({ video: { facingMode: "environment" } });
            el.cameraVideo.srcObject = stream;
            el.cameraView.hidden = false;
            await el.cameraVideo.play();
            const seen = async () => {
                if (!stream)
                    return;
                try {
                    const codes = await detector.detect(el.cameraVideo);
                    if (codes.length > 0) {
                        stopCamera();
                        el.search.value = codes[0].rawValue;
                        searchEntered();
                        return;
                    }
                } catch (e) {
                    // A frame that could not be read: the next one is tried.
                }
                scanning = setTimeout(seen, 200);
            };
            seen();
        } catch (e) {
            stopCamera();
            showNotice(`カメラを使えません：${e.message || e}`);
        }
    }

    function stopCamera() {
        clearTimeout(scanning);
        if (stream)
            stream.getTracks().forEach((t) => t.stop());
        stream = null;
        el.cameraVideo.srcObject = null;
        el.cameraView.hidden = true;
    }

    // ---- The list ------------------------------------------------------------------------------

    function render() {
        const lines = Object.values(book.lines)
            .filter((l) => l.pending !== "delete")
            .sort((a, b) => {
                const ia = a.id ?? Infinity;
                const ib = b.id ?? Infinity;
                if (ia !== ib)
                    return ib - ia;
                return (b.created || 0) - (a.created || 0);
            });
        el.list.replaceChildren();
        let total = 0;
        let sent = 0;
        for (const line of lines) {
            const item = document.createElement("li");
            item.dataset.key = line.key;
            const how = line.refused ? "refused" : line.pending ? "unsent" : "sent";
            item.className = how;

            const name = document.createElement("span");
            name.className = "name";
            name.textContent = line.product;
            const badge = document.createElement("span");
            badge.className = `state ${how}`;
            badge.textContent = how === "refused" ? "登録できません" : how === "unsent" ? "未送信" : "送信済み";

            const figures = document.createElement("span");
            figures.className = "figures";
            const price = line.price === null || line.price === undefined ? "" : ` × ${formatNumber(line.price)}円`;
            figures.textContent = `${formatNumber(line.quantity)}${line.unit || ""}${price}`;
            const amountBox = document.createElement("span");
            amountBox.className = "total";
            const amount = lineAmount(line);
            amountBox.textContent = amount === null ? "" : `${formatNumber(amount)}円`;
            if (how === "sent") {
                sent++;
                total += amount || 0;
            }

            const detail = document.createElement("span");
            detail.className = "detail";
            detail.textContent = [categoryName(line.category), line.note].filter(Boolean).join("　");

            item.append(name, badge, figures, amountBox, detail);
            if (line.refused) {
                const reason = document.createElement("span");
                reason.className = "reason";
                reason.textContent = line.refused;
                item.append(reason);
            }
            const buttons = document.createElement("span");
            buttons.className = "buttons";
            const change = document.createElement("button");
            change.type = "button";
            change.className = "change";
            change.textContent = "変更";
            change.setAttribute("aria-label", `「${line.product}」を変更`);
            change.addEventListener("click", () => startEdit(line.key));
            const del = document.createElement("button");
            del.type = "button";
            del.className = "delete";
            del.textContent = "削除";
            del.setAttribute("aria-label", `「${line.product}」を削除`);
            del.addEventListener("click", () => remove(line.key));
            buttons.append(change, del);
            item.append(buttons);
            el.list.append(item);
        }
        const unsent = unsentCount();
        const parts = [`送信済み ${sent} 件　合計 ${formatNumber(total)}円`];
        if (unsent > 0)
            parts.push(`未送信 ${unsent} 件`);
        el.summary.textContent = parts.join("　／　");
        if (el.unpaired.hidden === false)
            showUnpaired();
    }

    // ---- Wiring --------------------------------------------------------------------------------

    el.form.addEventListener("submit", submit);
    el.cancelEdit.addEventListener("click", () => {
        resetForm();
        clearNotice();
        el.search.focus();
    });
    el.pad.addEventListener("click", (e) => {
        const b = e.target.closest("button[data-key]");
        if (b)
            press(b.dataset.key);
    });
    el.search.addEventListener("input", searchTyped);
    el.search.addEventListener("keydown", (e) => {
        if (e.key === "Enter" && !e.isComposing) {
            e.preventDefault();
            searchEntered();
        }
    });
    // Enter in the small boxes moves on instead of sending a half-filled line.
    for (const [box, next] of [[el.unit, el.price], [el.price, el.note], [el.note, el.quantity]]) {
        box.addEventListener("keydown", (e) => {
            if (e.key === "Enter" && !e.isComposing) {
                e.preventDefault();
                next.focus();
            }
        });
    }
    el.quantity.addEventListener("input", showAmount);
    el.price.addEventListener("input", showAmount);
    el.category.addEventListener("change", () => {
        try {
            localStorage.setItem(CATEGORY, el.category.value);
        } catch (e) {
            // Only a convenience.
        }
    });
    el.camera.addEventListener("click", startCamera);
    el.cameraStop.addEventListener("click", stopCamera);
    window.addEventListener("online", flush);
    window.addEventListener("focus", flush);
    document.addEventListener("visibilitychange", () => {
        if (document.visibilityState === "visible")
            start();
    });
    // Another tab of this page changed the kept lines.
    window.addEventListener("storage", (e) => {
        if (e.key === STORE) {
            book = load();
            render();
        }
    });

    async function start() {
        render();
        const how = await refreshState();
        if (how === "ok") {
            await refreshLines();
        }
        if (how !== "unpaired")
            flush();
    }

    start();
})();
