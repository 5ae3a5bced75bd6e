// The supervisor's dashboard. It reads /api/v1 and redraws the page when an
// answer changed. Every text from the back office goes into the page as text
// (textContent), never as markup.
'use strict';

(function () {
  const POLL_MS = 800; // a change shows within a second, well inside two

  const TEXTS = {
    en: {
      title: 'Packing progress', routes: 'Routes', handhelds: 'Handhelds', scans: 'Scans per hour',
      plant: 'Plant', day: 'Day', language: 'Language', route: 'Route', description: 'Description',
      progress: 'Notes', lastScan: 'Last scan', stale: 'not moving', new: 'new',
      inProgress: 'in progress', done: 'done', noRoutes: 'No routes on this day.',
      stop: 'Stop', note: 'Note', customer: 'Customer', state: 'State', heldBy: 'Held by',
      since: 'since', quantities: 'Delivered / ordered', containers: 'Containers', colli: 'Colli',
      printed: 'Printed', processed: 'Processed', pdf: 'PDF', back: 'All routes',
      handheld: 'Handheld', lastExchange: 'Last exchange', lastFunction: 'Last function',
      employee: 'Employee', silent: 'silent', noHandhelds: 'No handhelds registered.',
      hour: 'Hour', poolItems: 'Pool items', quantitySaves: 'Quantities saved',
      notesDone: 'Notes done (cumulative)', plan: 'Plan', live: 'Live', offline: 'No connection, retrying…',
      updated: 'Updated', noRoute: 'This route does not exist.', minutes: 'min', logout: 'Log out',
    },
    de: {
      title: 'Packfortschritt', routes: 'Touren', handhelds: 'Handgeräte', scans: 'Scans pro Stunde',
      plant: 'Werk', day: 'Tag', language: 'Sprache', route: 'Tour', description: 'Bezeichnung',
      progress: 'Packscheine', lastScan: 'Letzter Scan', stale: 'steht', new: 'neu',
      inProgress: 'in Arbeit', done: 'fertig', noRoutes: 'Keine Touren an diesem Tag.',
      stop: 'Halt', note: 'Packschein', customer: 'Kunde', state: 'Status', heldBy: 'Bei',
      since: 'seit', quantities: 'Geliefert / bestellt', containers: 'Behälter', colli: 'Colli',
      printed: 'Gedruckt', processed: 'Abgeschlossen', pdf: 'PDF', back: 'Alle Touren',
      handheld: 'Handgerät', lastExchange: 'Letzter Austausch', lastFunction: 'Letzte Funktion',
      employee: 'Mitarbeiter', silent: 'still', noHandhelds: 'Keine Handgeräte angemeldet.',
      hour: 'Stunde', poolItems: 'Poolartikel', quantitySaves: 'Mengen gespeichert',
      notesDone: 'Fertige Packscheine (kumuliert)', plan: 'Plan', live: 'Live', offline: 'Keine Verbindung, neuer Versuch…',
      updated: 'Aktualisiert', noRoute: 'Diese Tour gibt es nicht.', minutes: 'Min.', logout: 'Abmelden',
    },
    nl: {
      title: 'Voortgang inpakken', routes: 'Ritten', handhelds: 'Handterminals', scans: 'Scans per uur',
      plant: 'Vestiging', day: 'Dag', language: 'Taal', route: 'Rit', description: 'Omschrijving',
      progress: 'Pakbonnen', lastScan: 'Laatste scan', stale: 'staat stil', new: 'nieuw',
      inProgress: 'in behandeling', done: 'klaar', noRoutes: 'Geen ritten op deze dag.',
      stop: 'Stop', note: 'Pakbon', customer: 'Klant', state: 'Status', heldBy: 'Bij',
      since: 'sinds', quantities: 'Geleverd / besteld', containers: 'Containers', colli: 'Colli',
      printed: 'Afgedrukt', processed: 'Verwerkt', pdf: 'PDF', back: 'Alle ritten',
      handheld: 'Handterminal', lastExchange: 'Laatste contact', lastFunction: 'Laatste functie',
      employee: 'Medewerker', silent: 'stil', noHandhelds: 'Geen handterminals geregistreerd.',
      hour: 'Uur', poolItems: 'Poolartikelen', quantitySaves: 'Hoeveelheden opgeslagen',
      notesDone: 'Pakbonnen klaar (cumulatief)', plan: 'Plan', live: 'Live', offline: 'Geen verbinding, opnieuw…',
      updated: 'Bijgewerkt', noRoute: 'Deze rit bestaat niet.', minutes: 'min', logout: 'Afmelden',
    },
  };
  const PLANT_LANGUAGES = { English: 'en', Deutsch: 'de', German: 'de', Nederlands: 'nl', Dutch: 'nl' };

  const params = new URLSearchParams(location.search);
  const state = { etag: null, data: null, plants: [], timer: null };

  function lang() {
    const chosen = params.get('lang');
    if (chosen && TEXTS[chosen]) return chosen;
    const plant = state.data && state.data.plant;
    return (plant && PLANT_LANGUAGES[plant.language]) || 'en';
  }
  function t(key) { return TEXTS[lang()][key] || TEXTS.en[key] || key; }

  // el('td', {class: 'num'}, 'text', child, ...): strings become text nodes.
  function el(tag, attributes, ...children) {
    const node = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes || {})) {
      if (value !== null && value !== undefined && value !== false) node.setAttribute(name, String(value));
    }
    for (const child of children) {
      if (child === null || child === undefined) continue;
      node.append(child instanceof Node ? child : document.createTextNode(String(child)));
    }
    return node;
  }
  const SVG = 'http://www.w3.org/2000/svg';
  function svg(tag, attributes, text) {
    const node = document.createElementNS(SVG, tag);
    for (const [name, value] of Object.entries(attributes || {})) node.setAttribute(name, String(value));
    if (text !== undefined) node.textContent = String(text);
    return node;
  }

  function clock(iso) {
    if (!iso) return '–';
    const d = new Date(iso);
    return d.toLocaleTimeString(lang(), { hour: '2-digit', minute: '2-digit' });
  }
  function minutesSince(iso) {
    if (!iso || !state.data || !state.data.now) return null;
    return Math.max(0, Math.floor((new Date(state.data.now) - new Date(iso)) / 60000));
  }
  function link(path, extra) {
    const query = new URLSearchParams();
    for (const name of ['plant', 'day', 'lang']) if (params.get(name)) query.set(name, params.get(name));
    for (const [name, value] of Object.entries(extra || {})) query.set(name, value);
    const text = query.toString();
    return path + (text ? '?' + text : '');
  }

  const VIEWS = {
    '/dashboard': { api: 'routes', render: renderRoutes, nav: 'routes' },
    '/dashboard/': { api: 'routes', render: renderRoutes, nav: 'routes' },
    '/dashboard/route': { api: 'notes', render: renderNotes, nav: 'routes' },
    '/dashboard/handhelds': { api: 'handhelds', render: renderHandhelds, nav: 'handhelds' },
    '/dashboard/scans': { api: 'scans', render: renderScans, nav: 'scans' },
  };
  const view = VIEWS[location.pathname] || VIEWS['/dashboard'];

  function apiUrl() {
    const query = new URLSearchParams();
    for (const name of ['plant', 'day', 'route']) if (params.get(name)) query.set(name, params.get(name));
    return '/api/v1/' + view.api + '?' + query.toString();
  }

  // ---- views

  function bar(route) {
    const total = route.new + route.inProgress + route.done;
    const box = el('div', { class: 'bar', title: `${route.new} ${t('new')}, ${route.inProgress} ${t('inProgress')}, ${route.done} ${t('done')}` });
    for (const [key, cls] of [['new', 'seg-new'], ['inProgress', 'seg-progress'], ['done', 'seg-done']]) {
      const count = route[key];
      if (!count) continue;
      const segment = el('span', { class: cls, 'data-count': count }, count);
      segment.style.width = (100 * count / total) + '%';
      box.append(segment);
    }
    return box;
  }

  function legend(items) {
    return el('div', { class: 'legend' }, ...items.map(([cls, text]) => el('span', {}, el('i', { class: cls }), text)));
  }

  function renderRoutes(data, main) {
    main.append(legend([['seg-new', t('new')], ['seg-progress', t('inProgress')], ['seg-done', t('done')]]));
    let any = false;
    for (const department of data.departments) {
      if (!department.routes.length) continue;
      any = true;
      main.append(el('h2', {}, `${department.number} ${department.code} – ${department.description}`));
      const table = el('table', { class: 'routes' },
        el('thead', {}, el('tr', {}, el('th', {}, t('route')), el('th', {}, t('description')),
          el('th', {}, t('progress')), el('th', {}, t('lastScan')))));
      const body = el('tbody');
      for (const route of department.routes) {
        const since = minutesSince(route.lastActivity);
        body.append(el('tr', { 'data-route': route.number, class: route.stale ? 'stale' : null },
          el('td', {}, el('a', { href: link('/dashboard/route', { route: route.id }) }, route.number)),
          el('td', {}, route.description, route.stale ? el('span', { class: 'badge' }, t('stale')) : null),
          el('td', {}, bar(route)),
          el('td', { class: 'last' }, clock(route.lastActivity),
            since === null ? null : el('span', { class: 'muted' }, ` (${since} ${t('minutes')})`))));
      }
      table.append(body);
      main.append(table);
    }
    if (!any) main.append(el('p', { class: 'empty', id: 'no-routes' }, t('noRoutes')));
  }

  function quantities(note) {
    const table = el('table', { class: 'lines' });
    for (const line of note.lines) {
      const cls = line.difference < 0 ? 'short' : line.difference > 0 ? 'over' : null;
      table.append(el('tr', { 'data-line': line.position },
        el('td', {}, line.product), el('td', { class: 'hide-narrow' }, line.description),
        el('td', { class: ['num', 'delivered', cls].filter(Boolean).join(' ') }, line.delivered),
        el('td', { class: 'num muted' }, '/ ' + line.ordered)));
    }
    return table;
  }

  function renderNotes(data, main) {
    const route = data.route;
    main.append(el('p', {}, el('a', { href: link('/dashboard') }, '← ' + t('back'))));
    main.append(el('h2', {}, `${t('route')} ${route.number} – ${route.description}`,
      route.stale ? el('span', { class: 'badge' }, t('stale')) : null));
    main.append(el('div', { class: 'summary' }, bar(route)));
    const table = el('table', { class: 'notes' },
      el('thead', {}, el('tr', {}, el('th', {}, t('stop')), el('th', {}, t('note')), el('th', {}, t('customer')),
        el('th', {}, t('state')), el('th', {}, t('heldBy')), el('th', {}, t('quantities')),
        el('th', { class: 'hide-narrow' }, t('containers')), el('th', { class: 'num' }, t('colli')),
        el('th', {}, t('printed')), el('th', {}, t('processed')))));
    const body = el('tbody');
    for (const note of data.notes) {
      const held = note.heldBy ? el('div', {}, note.heldBy,
        note.employee ? el('div', { class: 'employee' }, note.employee) : null,
        note.heldFrom ? el('div', { class: 'muted' }, `${t('since')} ${clock(note.heldFrom)}`) : null) : '–';
      const printed = note.printedAt
        ? el('span', {}, clock(note.printedAt), ' ', note.pdf ? el('a', { class: 'pdf', href: note.pdf, target: '_blank', rel: 'noopener' }, t('pdf')) : null)
        : '–';
      body.append(el('tr', { 'data-note': note.number },
        el('td', { class: 'num' }, note.stop), el('td', {}, note.number),
        el('td', { class: 'customer' }, note.customer),
        el('td', { class: 'state state-' + note.state }, t(note.state)),
        el('td', { class: 'held' }, held),
        el('td', {}, quantities(note)),
        el('td', { class: 'containers hide-narrow' }, note.containers.length ? note.containers.join(', ') : '–'),
        el('td', { class: 'num' }, note.colli),
        el('td', {}, printed),
        el('td', {}, clock(note.doneAt))));
    }
    table.append(body);
    main.append(el('div', { class: 'scroll' }, table));
  }

  function renderHandhelds(data, main) {
    if (!data.handhelds.length) {
      main.append(el('p', { class: 'empty' }, t('noHandhelds')));
      return;
    }
    const table = el('table', { class: 'handhelds' },
      el('thead', {}, el('tr', {}, el('th', {}, t('handheld')), el('th', {}, t('lastExchange')),
        el('th', {}, t('lastFunction')), el('th', {}, t('employee')), el('th', {}, t('note')))));
    const body = el('tbody');
    for (const h of data.handhelds) {
      const since = minutesSince(h.lastExchange);
      body.append(el('tr', { 'data-handheld': h.code, class: h.silent ? 'silent' : null },
        el('td', {}, h.code, h.silent ? el('span', { class: 'badge' }, t('silent')) : null),
        el('td', {}, clock(h.lastExchange), since === null ? null : el('span', { class: 'muted' }, ` (${since} ${t('minutes')})`)),
        el('td', {}, h.lastFunction || '–'), el('td', {}, h.employee || '–'), el('td', {}, h.note || '–')));
    }
    table.append(body);
    main.append(table);
  }

  function chart(width, height, max, draw) {
    const box = svg('svg', { class: 'chart', viewBox: `0 0 ${width} ${height}`, role: 'img' });
    const left = 40, bottom = height - 24, top = 10, right = width - 10;
    const step = (right - left) / 24;
    const y = (v) => bottom - (bottom - top) * (max ? v / max : 0);
    for (let i = 0; i <= 4; i++) {
      const v = Math.round(max * i / 4);
      box.append(svg('line', { class: 'grid', x1: left, x2: right, y1: y(v), y2: y(v) }));
      box.append(svg('text', { x: left - 6, y: y(v) + 4, 'text-anchor': 'end' }, v));
    }
    for (let h = 0; h < 24; h += 2) {
      box.append(svg('text', { x: left + step * h + step / 2, y: height - 6, 'text-anchor': 'middle' }, h));
    }
    box.append(svg('line', { class: 'axis', x1: left, x2: right, y1: bottom, y2: bottom }));
    draw(box, { left, step, y, bottom });
    return box;
  }

  function renderScans(data, main) {
    const kinds = [['containers', 'k0', 'c0', t('containers')], ['poolItems', 'k1', 'c1', t('poolItems')],
      ['quantities', 'k2', 'c2', t('quantitySaves')]];
    main.append(el('h2', {}, t('scans')));
    main.append(legend(kinds.map(([, , cls, text]) => [cls, text])));
    const max = Math.max(1, ...data.hours.map((h) => Math.max(h.containers, h.poolItems, h.quantities)));
    main.append(chart(960, 260, max, (box, a) => {
      const width = a.step / 4;
      for (const h of data.hours) {
        kinds.forEach(([key, cls], i) => {
          if (!h[key]) return;
          const x = a.left + a.step * h.hour + width * (i + 0.5);
          box.append(svg('rect', { class: cls, x, y: a.y(h[key]), width: width - 1, height: a.bottom - a.y(h[key]), 'data-hour': h.hour, 'data-kind': key },
          ));
          box.lastChild.append(svg('title', {}, `${h.hour}:00 ${h[key]}`));
        });
      }
    }));
    main.append(el('h2', {}, t('notesDone')));
    main.append(legend([['done', t('done')], ['plan', t('plan')]]));
    const most = Math.max(1, data.notes, ...data.hours.map((h) => h.doneSoFar));
    main.append(chart(960, 220, most, (box, a) => {
      const points = (key) => data.hours.map((h) => `${a.left + a.step * (h.hour + 1)},${a.y(h[key])}`).join(' ');
      box.append(svg('polyline', { class: 'plan', points: `${a.left},${a.y(0)} ` + points('plannedSoFar') }));
      box.append(svg('polyline', { class: 'done', points: `${a.left},${a.y(0)} ` + points('doneSoFar') }));
    }));
    const table = el('table', { class: 'scans' }, el('thead', {}, el('tr', {}, el('th', {}, t('hour')),
      ...kinds.map(([, , , text]) => el('th', { class: 'num' }, text)), el('th', { class: 'num' }, t('done')),
      el('th', { class: 'num' }, t('plan')))));
    const body = el('tbody');
    for (const h of data.hours) {
      if (!h.containers && !h.poolItems && !h.quantities && !h.notesDone) continue;
      body.append(el('tr', { 'data-hour': h.hour }, el('td', {}, `${h.hour}:00`),
        ...kinds.map(([key]) => el('td', { class: 'num' }, h[key])),
        el('td', { class: 'num' }, h.doneSoFar), el('td', { class: 'num' }, h.plannedSoFar)));
    }
    table.append(body);
    main.append(table);
  }

  // ---- page frame

  function frame() {
    document.documentElement.lang = lang();
    document.getElementById('title').textContent = t('title') + (state.data && state.data.plant ? ' – ' + state.data.plant.name : '');
    document.getElementById('plant-label').textContent = t('plant');
    document.getElementById('day-label').textContent = t('day');
    document.getElementById('lang-label').textContent = t('language');
    document.getElementById('logout-button').textContent = t('logout');
    document.getElementById('logout-lang').value = lang();
    document.getElementById('lang').value = lang();
    const nav = document.getElementById('nav');
    nav.replaceChildren();
    for (const [key, path] of [['routes', '/dashboard'], ['handhelds', '/dashboard/handhelds'], ['scans', '/dashboard/scans']]) {
      nav.append(el('a', { href: link(path), class: view.nav === key ? 'current' : null, id: 'nav-' + key }, t(key)));
    }
    const select = document.getElementById('plant');
    if (select.options.length !== state.plants.length) {
      select.replaceChildren(...state.plants.map((p) => el('option', { value: p.code }, `${p.code} ${p.name}`)));
    }
    if (state.data && state.data.plant) select.value = state.data.plant.code;
    const day = document.getElementById('day');
    if (document.activeElement !== day) {
      day.value = (state.data && state.data.day) || params.get('day') || new Date().toLocaleDateString('sv');
    }
  }

  function render() {
    frame();
    const main = document.getElementById('view');
    const fresh = document.createElement('div');
    if (state.error) {
      fresh.append(el('p', { class: 'empty error', id: 'api-error' }, state.error === 404 && view.api === 'notes' ? t('noRoute') : String(state.error)));
    } else if (state.data) {
      view.render(state.data, fresh);
    }
    main.replaceChildren(...fresh.childNodes);
  }

  function status(online) {
    const box = document.getElementById('status');
    box.className = online ? '' : 'offline';
    box.textContent = online ? `${t('live')} · ${t('updated')} ${new Date().toLocaleTimeString(lang())}` : t('offline');
  }

  async function poll() {
    try {
      const headers = state.etag ? { 'If-None-Match': state.etag } : {};
      const response = await fetch(apiUrl(), { headers, cache: 'no-store', credentials: 'same-origin' });
      if (response.status === 401) {
        location.href = '/dashboard/login';
        return;
      }
      if (response.status === 200) {
        state.etag = response.headers.get('ETag');
        state.data = await response.json();
        state.error = null;
        render();
      } else if (response.status !== 304) {
        state.etag = null;
        state.error = response.status;
        render();
      }
      status(true);
    } catch (e) {
      // The back office is away (restarting): keep asking.
      state.etag = null;
      status(false);
    } finally {
      state.timer = setTimeout(poll, POLL_MS);
    }
  }

  function navigate(changes) {
    for (const [name, value] of Object.entries(changes)) {
      if (value) params.set(name, value); else params.delete(name);
    }
    location.href = location.pathname + '?' + params.toString();
  }

  async function start() {
    document.getElementById('plant').addEventListener('change', (e) => navigate({ plant: e.target.value, route: null }));
    document.getElementById('day').addEventListener('change', (e) => navigate({ day: e.target.value }));
    document.getElementById('lang').addEventListener('change', (e) => {
      params.set('lang', e.target.value);
      history.replaceState(null, '', location.pathname + '?' + params.toString());
      render();
    });
    try {
      const response = await fetch('/api/v1/plants', { cache: 'no-store', credentials: 'same-origin' });
      if (response.ok) state.plants = (await response.json()).plants;
    } catch (e) { /* the poll reports it */ }
    poll();
  }

  document.addEventListener('DOMContentLoaded', start);
})();
