-- The regex library shipped with Glimmerpick. The build turns this file into the encrypted
-- resources/data.db beside the executables (tools/makedb); edit the entries here, never the .db.
--
-- Columns are read by position: 0 key (never shown), 1 description, 2 regex_pattern,
-- 3 regex_replacement, 4 example. Patterns are PCRE2, matched case-insensitively in UTF-8 mode.
-- Every entry sets both pattern and replacement: an empty replacement empties the row's template,
-- so applying a plain entry after one with "$1" does not keep the old template. Patterns with a
-- replacement start with (?i), because the rewrite of each match searches it again case-sensitively,
-- and they match up to the end of what they rewrite, because that search sees only the match.
-- Each example is a text the pattern matches (the tests check it).

CREATE TABLE regex_library (
    id INTEGER PRIMARY KEY,
    description TEXT COLLATE NOCASE,
    regex_pattern TEXT,
    regex_replacement TEXT,
    example TEXT
);

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Canonical URL',
    '(?i)<link(?=[^>]*\srel\s*=\s*["'']canonical["''])[^>]*?\shref\s*=\s*["'']([^"'']+)["''][^>]*>',
    '$1',
    '<link rel="canonical" href="https://www.example.com/shoes/">');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Dates, day month year (5 March 2024)',
    '(?<!\d)(?:0?[1-9]|[12]\d|3[01])\.?\s+(?:Jan(?:uary)?|Feb(?:ruary)?|Mar(?:ch)?|Apr(?:il)?|May|June?|July?|Aug(?:ust)?|Sep(?:t(?:ember)?)?|Oct(?:ober)?|Nov(?:ember)?|Dec(?:ember)?)\.?,?\s+(?:19|20)\d{2}(?!\d)',
    '',
    'Published on 5 March 2024, updated 12 Sept. 2024');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Dates, dd/mm/yyyy or mm/dd/yyyy',
    '(?<![\d/.-])(?:0?[1-9]|[12]\d|3[01])([/.-])(?:0?[1-9]|[12]\d|3[01])\1(?:19|20)\d{2}(?!\d)',
    '',
    'Order placed 24/12/2023, shipped 27.12.2023');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Dates, ISO (2024-03-05)',
    '(?<!\d)(?:19|20)\d{2}-(?:0[1-9]|1[0-2])-(?:0[1-9]|[12]\d|3[01])(?!\d)',
    '',
    '<time datetime="2024-03-05T09:30:00Z">5 March</time>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Domains of absolute links',
    '(?i)\bhttps?://([\p{L}\p{N}-]+(?:\.[\p{L}\p{N}-]+)+)',
    '$1',
    '<a href="https://shop.example.com/cart?id=3">Cart</a>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'E-mail addresses',
    '[a-z0-9._%+-]+@[a-z0-9-]+(?:\.[a-z0-9-]+)*\.(?!(?:png|jpe?g|gif|webp|svg)\b)[a-z]{2,}\b',
    '',
    'Write to <a href="mailto:info@example.com">info@example.com</a> or Sales@Shop.Example.org (not logo@2x.png)');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'E-mail addresses in mailto links',
    '(?i)href\s*=\s*["'']mailto:([^"''?]+)',
    '$1',
    '<a href="mailto:support@example.com?subject=Order">Support</a>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Hashtags',
    '(?<![\w&#/"''=])#(?![0-9a-f]{3}(?:[0-9a-f]{3})?\b)[\p{L}_][\p{L}\p{N}_]*',
    '',
    'See you at the fair #summer2024 #Fête (the colour #fff is no tag)');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Headings h1',
    '(?i)<h1(?:\s[^>]*)?>(.*?)</h1>',
    '$1',
    '<h1 class="title">Summer sale</h1>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Headings h2',
    '(?i)<h2(?:\s[^>]*)?>(.*?)</h2>',
    '$1',
    '<h2>Shipping and returns</h2>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Headings h3',
    '(?i)<h3(?:\s[^>]*)?>(.*?)</h3>',
    '$1',
    '<H3 id="faq">Frequently asked questions</H3>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Image sources (img src)',
    '(?i)<img\b[^>]*?\ssrc\s*=\s*["'']([^"'']+)["'']',
    '$1',
    '<img class="logo" src="/images/logo.png" alt="Logo">');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'IPv4 addresses',
    '(?<![\d.])(?:(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)\.){3}(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(?!\.?\d)',
    '',
    'Server 192.168.10.254 answered; 10.0.0.300 is no address');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Links (a href)',
    '(?i)<a\b[^>]*?\shref\s*=\s*["'']([^"''#][^"'']*)["'']',
    '$1',
    '<p>See <a class="more" href="https://example.com/about">about us</a></p>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Meta description',
    '(?i)<meta(?=[^>]*\sname\s*=\s*["'']description["''])[^>]*?\scontent\s*=\s*(?:"([^"]*)"|''([^'']*)'')[^>]*>',
    '$1$2',
    '<meta content="Hand-made shoes, shipped in 24 hours. We''re open daily." name="description">');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Open Graph image (og:image)',
    '(?i)<meta(?=[^>]*\sproperty\s*=\s*["'']og:image["''])[^>]*?\scontent\s*=\s*["'']([^"'']+)["''][^>]*>',
    '$1',
    '<meta property="og:image" content="https://example.com/img/cover.jpg" />');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Page title',
    '(?i)<title(?:\s[^>]*)?>\s*([^<]*?)\s*</title>',
    '$1',
    '<head><title> Contact us | Example Shop </title></head>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Phone numbers (international format)',
    '(?<![\w+])\+[1-9]\d{0,2}(?:[ .-]?\(\d{1,4}\))?(?:[ .-]?\d{2,4}){2,5}(?!\d)',
    '',
    'Call +44 20 7946 0958 or +1 (555) 010-4477');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Phone numbers in tel: links',
    '(?i)href\s*=\s*["'']tel:([^"'']+)["'']',
    '$1',
    '<a href="tel:+15550104477">Call us</a>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Prices with a currency code (EUR, USD, ...)',
    '(?<![\d.,])\d+(?:[,.]\d{3})*(?:[.,]\d{1,2})?(?:\s|&nbsp;)?(?:EUR|USD|GBP|CHF|JPY|CAD|AUD)\b',
    '',
    'Total: 1.299,00 EUR (about 1,405.50 USD)');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Prices with a currency sign ($, €, £, ¥)',
    '(?:[$€£¥]|&(?:euro|pound|yen);)(?:\s|&nbsp;)?\d+(?:[,.]\d{3})*(?:[.,]\d{1,2})?(?!\d)|(?<![\d.,])\d+(?:[,.]\d{3})*(?:[.,]\d{1,2})?(?:\s|&nbsp;)?(?:€|&euro;)',
    '',
    'Was $1,299.99, now €999 or 12,99&nbsp;€ a month');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'Social profile links',
    '(?i)https?://(?:www\.|m\.)?(?:(?:facebook|instagram|pinterest|twitter|x)\.com/|tiktok\.com/@|youtube\.com/(?:@|c/|channel/|user/)|linkedin\.com/(?:in|company)/)(?!(?:sharer|share|intent|home|hashtag|search|p|reel|explore)\b)[\w.%-]+',
    '',
    '<a href="https://www.instagram.com/example.shop/">Instagram</a> <a href="https://twitter.com/intent/tweet?text=hi">Share</a>');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'URLs in text (http, https)',
    '\bhttps?://[^\s"''<>()]+[^\s"''<>().,;:!?]',
    '',
    'Docs at https://docs.example.com/start. Mirror: http://mirror.example.net/files/');

INSERT INTO regex_library (description, regex_pattern, regex_replacement, example) VALUES (
    'YouTube video IDs',
    '(?i)(?:youtube(?:-nocookie)?\.com/(?:watch\?(?:[^"''\s]*?&(?:amp;)?)?v=|embed/|shorts/)|youtu\.be/)([\w-]{11})(?![\w-])',
    '$1',
    '<iframe src="https://www.youtube.com/embed/aBcD3fGh1jK"></iframe>');
