/* Reference for `postern-cli bench parse`: the same work with GMime 3, the
 * same environment and the same BENCH line. Used only to compare speed.
 *
 *   cc -O2 -o gmime_parse_bench gmime_parse_bench.c $(pkg-config --cflags --libs gmime-3.0)
 *   BENCH_CORPUS=DIR BENCH_PARSE_LIST=FILE BENCH_RUNS=3 ./gmime_parse_bench
 *
 * One pass per message: parse from memory; decode From, Subject, Date and
 * Message-ID; the first non-attachment text/plain and text/html leaves as
 * UTF-8 text; decode every other leaf. */
#include <gmime/gmime.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct {
	gsize hdr, text, html, att, text_bytes, html_bytes;
	gboolean have_text, have_html;
} Sums;

static double now_ms(void)
{
	struct timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

static gsize decoded_size(GMimePart *part)
{
	GMimeDataWrapper *content = g_mime_part_get_content(part);
	if (!content)
		return 0;
	GMimeStream *mem = g_mime_stream_mem_new();
	g_mime_data_wrapper_write_to_stream(content, mem);
	gsize n = g_mime_stream_mem_get_byte_array((GMimeStreamMem *) mem)->len;
	g_object_unref(mem);
	return n;
}

static void leaf(GMimeObject *parent, GMimeObject *object, gpointer data)
{
	Sums *sums = data;
	(void) parent;
	if (GMIME_IS_MULTIPART(object) || GMIME_IS_MESSAGE_PART(object))
		return; /* foreach visits their children too */
	if (!GMIME_IS_PART(object))
		return;
	GMimeContentType *type = g_mime_object_get_content_type(object);
	GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
	gboolean attachment = disposition && g_mime_content_disposition_is_attachment(disposition);
	if (!attachment && GMIME_IS_TEXT_PART(object) && g_mime_content_type_is_type(type, "text", "plain") && !sums->have_text) {
		char *text = g_mime_text_part_get_text((GMimeTextPart *) object);
		sums->text += text && *text ? 1 : 0;
		sums->text_bytes += text ? strlen(text) : 0;
		sums->have_text = TRUE;
		g_free(text);
		return;
	}
	if (!attachment && GMIME_IS_TEXT_PART(object) && g_mime_content_type_is_type(type, "text", "html") && !sums->have_html) {
		char *html = g_mime_text_part_get_text((GMimeTextPart *) object);
		sums->html += html && *html ? 1 : 0;
		sums->html_bytes += html ? strlen(html) : 0;
		sums->have_html = TRUE;
		g_free(html);
		return;
	}
	sums->att++;
	sums->hdr += decoded_size((GMimePart *) object);
}

static void one(GByteArray *raw, Sums *sums)
{
	GMimeStream *stream = g_mime_stream_mem_new_with_byte_array(raw);
	g_mime_stream_mem_set_owner((GMimeStreamMem *) stream, FALSE);
	GMimeParser *parser = g_mime_parser_new_with_stream(stream);
	GMimeMessage *message = g_mime_parser_construct_message(parser, NULL);
	if (message) {
		InternetAddressList *from = g_mime_message_get_from(message);
		char *text = from ? internet_address_list_to_string(from, NULL, FALSE) : NULL;
		sums->hdr += text ? strlen(text) : 0;
		g_free(text);
		const char *subject = g_mime_message_get_subject(message);
		sums->hdr += subject ? strlen(subject) : 0;
		GDateTime *date = g_mime_message_get_date(message);
		sums->hdr += date ? 1 : 0;
		const char *id = g_mime_message_get_message_id(message);
		sums->hdr += id ? strlen(id) : 0;
		sums->have_text = sums->have_html = FALSE;
		g_mime_message_foreach(message, leaf, sums);
		g_object_unref(message);
	}
	g_object_unref(parser);
	g_object_unref(stream);
}

int main(void)
{
	const char *corpus = getenv("BENCH_CORPUS");
	const char *listing = getenv("BENCH_PARSE_LIST");
	int runs = getenv("BENCH_RUNS") ? atoi(getenv("BENCH_RUNS")) : 3;
	if (!corpus || !listing) {
		fprintf(stderr, "set BENCH_CORPUS and BENCH_PARSE_LIST\n");
		return 2;
	}
	g_mime_init();
	gchar *list_text = NULL;
	if (!g_file_get_contents(listing, &list_text, NULL, NULL))
		return 1;
	gchar **names = g_strsplit(list_text, "\n", -1);
	GPtrArray *messages = g_ptr_array_new();
	gsize bytes = 0;
	for (gchar **name = names; *name; name++) {
		g_strstrip(*name);
		if (!**name)
			continue;
		gchar *path = g_build_filename(corpus, *name, NULL);
		gchar *data = NULL;
		gsize size = 0;
		if (!g_file_get_contents(path, &data, &size, NULL)) {
			fprintf(stderr, "cannot read %s\n", path);
			return 1;
		}
		GByteArray *raw = g_byte_array_new_take((guint8 *) data, size);
		g_ptr_array_add(messages, raw);
		bytes += size;
		g_free(path);
	}
	GString *times = g_string_new(NULL);
	Sums sums = {0};
	for (int run = 0; run < (runs > 0 ? runs : 3); run++) {
		memset(&sums, 0, sizeof sums);
		double start = now_ms();
		for (guint i = 0; i < messages->len; i++)
			one(g_ptr_array_index(messages, i), &sums);
		g_string_append_printf(times, "%s%.1f", run ? "," : "", now_ms() - start);
	}
	printf("BENCH parse ms=%s msgs=%u bytes=%zu text=%zu html=%zu att=%zu text_bytes=%zu html_bytes=%zu\n",
	       times->str, messages->len, bytes, sums.text, sums.html, sums.att, sums.text_bytes, sums.html_bytes);
	return 0;
}
